#pragma once
// A dialog made from a template in memory that runs its own modal loop. The
// dialog manager gives it the keyboard interface (Tab, Enter on the default
// button, Escape); the form that derives from DialogFrame places its controls
// itself and decides when the dialog ends by hiding it.
#include <windows.h>

#include <cstddef>
#include <vector>

// A DLGTEMPLATEEX with its items, built in memory.
class DialogTemplate {
public:
    static constexpr WORD kButton = 0x0080;
    static constexpr WORD kStatic = 0x0082;
    static constexpr WORD kListBox = 0x0083;

    DialogTemplate(const wchar_t* title, DWORD style, WORD itemCount, const wchar_t* font, WORD points, BYTE charset);
    void Item(DWORD exStyle, DWORD style, int id, WORD classAtom, const wchar_t* text);
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }
    size_t size() const { return words_.size() * sizeof(WORD); }

private:
    void Word(WORD value) { words_.push_back(value); }
    void Dword(DWORD value);
    void Text(const wchar_t* text);

    std::vector<WORD> words_;
};

class DialogFrame {
public:
    DialogFrame() = default;
    DialogFrame(const DialogFrame&) = delete;
    DialogFrame& operator=(const DialogFrame&) = delete;
    virtual ~DialogFrame();

    // Creates the dialog (OnMessage sees WM_INITDIALOG before this returns
    // from the creation), shows it with the focus on the control focusId,
    // and runs the thread's messages until the dialog hides or is destroyed.
    // A WM_QUIT ends the loop too, and is posted again for whoever runs the
    // next loop. False when the dialog could not be created.
    bool RunModal(const DialogTemplate& dialogTemplate, int focusId);
    // Hides the dialog, which ends RunModal.
    void Hide();
    // Closes the dialog as the program asks for it: WM_CLOSE arrives with
    // ClosingByProgram() true.
    void Close();
    void Destroy();

    HWND Window() const { return window_; }
    HWND Control(int id) const { return GetDlgItem(window_, id); }
    bool ClosingByProgram() const { return closingByProgram_; }

protected:
    // The dialog's messages, as a dialog procedure takes them, but for
    // WM_COMMAND, which goes to OnCommand with the control that sent it;
    // both tell whether they handled the message.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual bool OnCommand(int controlId, WORD notification) = 0;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND window_ = nullptr;
    bool closingByProgram_ = false;
};
