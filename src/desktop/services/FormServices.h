#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "DesktopTypes.h"
#include "FilePath.h"

namespace tarnleaf {

// The main window and the program around it, as the window logic uses them. The backend
// builds the window (caption, log view, three buttons, hidden pop-up menu) before the
// logic's Start runs, hidden; everything after that is done through these calls.
class FormServices {
public:
    virtual ~FormServices() = default;

    // The main window's handle (never 0 once the backend is constructed).
    virtual WindowHandle MainWindow() const = 0;

    // Whether another copy of this program already runs for this user.
    virtual bool PreviousInstanceRunning() = 0;

    // The argument text after the program's name, UTF-8. Windows: the command line's tail
    // as typed. Elsewhere: the arguments joined by single spaces, an argument holding a
    // space or being empty written in double quotes.
    virtual std::string CommandLineText() const = 0;

    // The folder that holds the program file.
    virtual FilePath ProgramFolder() const = 0;

    // The program's own icon (resource 101); 0 when it cannot be loaded.
    virtual IconHandle LoadProgramIcon() = 0;
    virtual void SetWindowIcon(IconHandle icon) = 0;

    // Shows or hides the main window. Showing a window that was never shown before is
    // followed by a size notification (DesktopEvents::OnResize), as the platform's first
    // size message.
    virtual void SetWindowVisible(bool visible) = 0;

    // The window's outer left and top edge, in twips of the screen.
    virtual void SetWindowLeft(int twips) = 0;
    virtual void SetWindowTop(int twips) = 0;

    virtual WindowState GetWindowState() const = 0;
    virtual void SetWindowState(WindowState state) = 0;

    // The screen's twips per pixel: horizontal for X, vertical for Y (15 at 96 dpi).
    virtual float TwipsPerPixelX() const = 0;
    virtual float TwipsPerPixelY() const = 0;

    // The check mark of a pop-up menu item.
    virtual void SetMenuChecked(MenuItem item, bool checked) = 0;

    // Pops the menu up at the mouse position with `defaultItem` drawn as the default.
    // Returns after the user chose or cancelled, and after DesktopEvents::OnMenuClick of
    // the chosen item has run. Other messages may be dispatched meanwhile.
    virtual void ShowPopupMenu(MenuItem defaultItem) = 0;

    // The log view, read-only for the user. Offsets count bytes of the UTF-8 text that
    // these calls built, and always fall on a character boundary.
    virtual void ViewSetText(std::string_view text) = 0;
    virtual void ViewAppend(std::string_view text) = 0;
    // Puts the caret (an empty selection) at the offset and scrolls it into view.
    virtual void ViewSetCaret(std::size_t offset) = 0;

    // Opens the document with its default application, `directory` as working directory,
    // `owner` as owning window; failures are not reported.
    virtual void OpenDocument(WindowHandle owner, const FilePath& file,
                              const FilePath& directory) = 0;

    // A modal error message owned by the main window (or by nothing while it is hidden).
    virtual void ShowErrorBox(std::string_view caption, std::string_view text) = 0;

    // Destroys the window and ends the message loop; the program then exits with
    // `exitCode`. The first call's code counts; the logic calls it once per run.
    virtual void Quit(int exitCode) = 0;
};

}  // namespace tarnleaf
