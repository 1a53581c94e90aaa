#pragma once
// The chooser dialog: lists the window stations and their desktops and lets the
// user pick one desktop. One instance serves one question.
#include "dialogFrame.h"
#include "modDesktopsList.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <type_traits>

// The chooser's dialog template: its caption and controls, in tab order.
DialogTemplate DesktopsDialogTemplate();

class frmDesktops final : public DialogFrame, public DesktopsListTarget {
public:
    // The outcome: the chosen full desktop name, or empty.
    std::wstring DesktopName;
    // The full name behind each row of lstDesktops (row r is entry r); unset
    // until the catalogue has been built.
    std::optional<StringList> ShadowDesktopNames;

    // Creates and loads the dialog, shows it, and runs its message loop until
    // the dialog hides; false when the dialog could not be created.
    bool ShowModal();
    // Closes and destroys the dialog: the one close that is not refused.
    void Unload() { Close(); }

    void AddDesktopsRow(const std::wstring& text) override;
    void SetShadowDesktopNames(StringList fullNames) override;

private:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnCommand(int controlId, WORD notification) override;

    void Form_Load();
    void Form_Paint();
    void Form_QueryUnload();
    void cmdOk_Click();
    void cmdCancel_Click();
    void lstDesktops_Click();
    void lstDesktops_DblClick();

    // What each control's notifications do.
    void lstDesktops_Command(WORD notification);
    void cmdOk_Command();

    void SelectRow(int index);
    void ApplyLayout(UINT dpi);

    struct FontDeleter {
        void operator()(HFONT font) const { DeleteObject(font); }
    };

    HWND lstDesktops_ = nullptr;
    HWND cmdOk_ = nullptr;
    HWND cmdCancel_ = nullptr;
    std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter> font_;
};
