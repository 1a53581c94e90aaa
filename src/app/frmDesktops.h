#pragma once
// The chooser dialog: lists the window stations and their desktops and lets the
// user pick one desktop. One instance serves one question.
#include "modDesktopsList.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

class frmDesktops final : public DesktopsListTarget {
public:
    frmDesktops() = default;
    frmDesktops(const frmDesktops&) = delete;
    frmDesktops& operator=(const frmDesktops&) = delete;
    ~frmDesktops();

    // The outcome: the chosen full desktop name, or empty.
    std::wstring DesktopName;
    // The full name behind each row of lstDesktops (row r is entry r); unset
    // until the catalogue has been built.
    std::optional<StringList> ShadowDesktopNames;

    // Creates and loads the dialog, shows it, and runs its message loop until
    // the dialog hides; false when the dialog could not be created.
    bool ShowModal();
    // Closes and destroys the dialog: the one close that is not refused.
    void Unload();

    void AddDesktopsRow(const std::wstring& text) override;
    void SetShadowDesktopNames(StringList fullNames) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void Form_Load();
    void Form_Paint();
    void Form_QueryUnload();
    void cmdOk_Click();
    void cmdCancel_Click();
    void lstDesktops_Click();
    void lstDesktops_DblClick();

    void Hide();
    void SelectRow(int index);
    void ApplyLayout(UINT dpi);

    struct FontDeleter {
        void operator()(HFONT font) const { DeleteObject(font); }
    };

    HWND window_ = nullptr;
    HWND lstDesktops_ = nullptr;
    HWND cmdOk_ = nullptr;
    HWND cmdCancel_ = nullptr;
    std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter> font_;
    bool closingByProgram_ = false;
};
