#include "QtDesktop.h"

#include <algorithm>

#include <QApplication>
#include <QCursor>
#include <QDesktopServices>
#include <QMessageBox>
#include <QScreen>
#include <QTextCursor>

#include "ProgramFolder.h"
#include "QtLogText.h"
#include "QtScreenGeometry.h"
#include "QtTrayActivation.h"
#include "FormLayout.h"

// The icon's resource lives in this static library: it has to be registered by name, from
// outside any namespace.
static void RegisterTarnleafResources() { Q_INIT_RESOURCE(tarnleaf); }

namespace tarnleaf {
namespace {

constexpr auto kProgramIconResource = ":/tarnleaf/tarnleaf.png";
// Registered message numbers start where the platform's own do.
constexpr std::uint32_t kFirstRegisteredMessage = 0xC000;

QString FromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString TipText(const NotifyIconData& record) {
    const std::u16string_view tip = record.Tip();
    return QString::fromUtf16(tip.data(), static_cast<qsizetype>(tip.size()));
}

QScreen* PrimaryScreen() { return QGuiApplication::primaryScreen(); }

}  // namespace

std::string JoinCommandLine(const std::vector<std::string>& arguments) {
    std::string text;
    for (const std::string& argument : arguments) {
        if (!text.empty() || &argument != &arguments.front()) {
            text += ' ';
        }
        const bool quote =
            argument.empty() || argument.find_first_of(" \t") != std::string::npos;
        if (quote) {
            text += '"';
        }
        text += argument;
        if (quote) {
            text += '"';
        }
    }
    return text;
}

QtDesktop::QtDesktop(QtDesktopOptions options)
    : options_(std::move(options)),
      context_(std::make_unique<QObject>()),
      lock_(options_.lockFilePath) {
    RegisterTarnleafResources();
    // The program ends through Quit only; hiding the window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    if (QScreen* screen = PrimaryScreen()) {
        twipsX_ = TwipsPerPixel(screen->logicalDotsPerInchX());
        twipsY_ = TwipsPerPixel(screen->logicalDotsPerInchY());
    }
    window_ = std::make_unique<QtMainWindow>(twipsX_, twipsY_);
    window_->SetCallbacks({
        .closeRequested = [this] { RequestClose(); },
        .resized = [this] { OnWindowResized(); },
        .buttonClicked =
            [this](FormButton button) {
                if (events_ != nullptr && !quitting_) {
                    events_->OnButtonClick(button);
                }
            },
    });
    BuildMenu();
    // The session manager ending the program comes as the loop's end: the logic's close
    // request runs first, so the tray icon goes away as with any other close.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, context_.get(), [this] {
        if (!quitting_) {
            RequestClose();
        }
    });
}

QtDesktop::~QtDesktop() {
    socket_.reset();
    trayIcons_.clear();
    context_.reset();
    menu_.reset();
    window_.reset();
}

void QtDesktop::BuildMenu() {
    menu_ = std::make_unique<QMenu>();
    menu_->setObjectName(QStringLiteral("mnuShortCut"));
    actions_.assign(3, nullptr);
    for (const MenuItem item : form_layout::kMenuOrder) {
        QAction* action = menu_->addAction(FromUtf8(form_layout::MenuCaption(item)));
        action->setCheckable(false);
        actions_[static_cast<int>(item)] = action;
    }
}

void QtDesktop::WatchSocket(std::intptr_t socket, std::function<bool()> handleOne) {
    socket_ = std::make_unique<QtSocketWatcher>(socket, std::move(handleOne));
}

int QtDesktop::Run() {
    if (quitting_) {
        return exitCode_;
    }
    const int code = QApplication::exec();
    return quitting_ ? exitCode_ : code;
}

void QtDesktop::RequestClose() {
    if (quitting_) {
        return;
    }
    if (events_ != nullptr) {
        events_->OnCloseRequest();
    } else {
        Quit(0);
    }
}

void QtDesktop::OnWindowResized() {
    if (showing_) {
        // Reported once SetWindowVisible is done: hiding the window from inside its own
        // showing would leave it shown.
        resizedWhileShowing_ = true;
        return;
    }
    if (resizePending_ || quitting_) {
        return;
    }
    // From the loop, not from inside Qt's event handler: the logic hides the window and
    // resets its state in answer.
    resizePending_ = true;
    QMetaObject::invokeMethod(
        context_.get(),
        [this] {
            resizePending_ = false;
            if (events_ != nullptr && !quitting_) {
                events_->OnResize();
            }
        },
        Qt::QueuedConnection);
}

// ShellServices ------------------------------------------------------------------------

void QtDesktop::ApplyRecord(TrayEntry& entry, const NotifyIconData& record) {
    if ((record.uFlags & NotifyIconData::kFlagIcon) != 0) {
        const auto found = icons_.find(record.hIcon);
        entry.icon->setIcon(found != icons_.end() ? found->second : QIcon());
    }
    if ((record.uFlags & NotifyIconData::kFlagTip) != 0) {
        entry.icon->setToolTip(TipText(record));
    }
    if ((record.uFlags & NotifyIconData::kFlagMessage) != 0) {
        entry.callbackMessage = record.uCallbackMessage;
        entry.notifies = true;
    }
}

bool QtDesktop::ShellNotifyIcon(NotifyIconMessage message, const NotifyIconData& record) {
    if (record.hWnd != MainWindow() || (quitting_ && message == NotifyIconMessage::Add)) {
        return false;
    }
    const auto key = std::make_pair(record.hWnd, record.uID);
    const auto found = trayIcons_.find(key);
    switch (message) {
        case NotifyIconMessage::Add: {
            if (found != trayIcons_.end()) {
                return false;
            }
            TrayEntry entry;
            entry.icon = std::make_unique<QSystemTrayIcon>();
            ApplyRecord(entry, record);
            const WindowHandle window = record.hWnd;
            const std::uint32_t id = record.uID;
            // Activations come inside the icon's own mouse handling; the notifications are
            // delivered from the loop, where the icon may be removed safely.
            QObject::connect(entry.icon.get(), &QSystemTrayIcon::activated, context_.get(),
                             [this, window, id](QSystemTrayIcon::ActivationReason reason) {
                                 QMetaObject::invokeMethod(
                                     context_.get(),
                                     [this, window, id, reason] {
                                         OnActivated(window, id, reason);
                                     },
                                     Qt::QueuedConnection);
                             });
            entry.icon->show();
            trayIcons_.emplace(key, std::move(entry));
            return true;
        }
        case NotifyIconMessage::Modify:
            if (found == trayIcons_.end()) {
                return false;
            }
            ApplyRecord(found->second, record);
            return true;
        case NotifyIconMessage::Delete:
            if (found == trayIcons_.end()) {
                return false;
            }
            found->second.icon->hide();
            trayIcons_.erase(found);
            return true;
    }
    return false;
}

QSystemTrayIcon* QtDesktop::TrayIcon(WindowHandle window, std::uint32_t uID) const {
    const auto found = trayIcons_.find({window, uID});
    return found != trayIcons_.end() ? found->second.icon.get() : nullptr;
}

void QtDesktop::OnActivated(WindowHandle window, std::uint32_t uID,
                            QSystemTrayIcon::ActivationReason reason) {
    for (const LParam notification : NotificationsFor(reason)) {
        // Looked up again for each one: the first may have removed the icon (its menu's
        // "終了") or the whole program may be ending.
        const auto found = trayIcons_.find({window, uID});
        if (quitting_ || found == trayIcons_.end() || !found->second.notifies) {
            return;
        }
        Deliver(window, found->second.callbackMessage, uID, notification);
    }
}

std::uint32_t QtDesktop::RegisterMessageName(std::string_view name) {
    if (name.empty()) {
        return 0;
    }
    const auto found = messageNames_.find(name);
    if (found != messageNames_.end()) {
        return found->second;
    }
    const auto number =
        kFirstRegisteredMessage + static_cast<std::uint32_t>(messageNames_.size());
    messageNames_.emplace(std::string(name), number);
    return number;
}

void QtDesktop::BringToForeground(WindowHandle window) {
    // A pop-up menu grabs the pointer on its own here; only a shown window is raised.
    if (window == MainWindow() && window_->isVisible()) {
        window_->activateWindow();
    }
}

void QtDesktop::PostWindowMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                                  LParam lParam) {
    QMetaObject::invokeMethod(
        context_.get(),
        [this, window, message, wParam, lParam] {
            if (!quitting_) {
                Deliver(window, message, wParam, lParam);
            }
        },
        Qt::QueuedConnection);
}

MessageResult QtDesktop::Deliver(WindowHandle window, std::uint32_t message, WParam wParam,
                                 LParam lParam) {
    if (window != MainWindow()) {
        return 0;
    }
    return CallPreviousWindowProc(currentProcedure_, window, message, wParam, lParam);
}

WindowProcHandle QtDesktop::InstallWindowProc(WindowHandle window, WindowProcedure procedure) {
    if (window != MainWindow() || !procedure) {
        return 0;
    }
    const WindowProcHandle handle = nextProcedure_++;
    const WindowProcHandle previous = currentProcedure_;
    procedures_[handle] = InstalledProcedure{std::move(procedure), previous};
    currentProcedure_ = handle;
    return previous;
}

void QtDesktop::RestoreWindowProc(WindowHandle window, WindowProcHandle previous) {
    if (window != MainWindow() || previous == 0) {
        return;
    }
    if (previous != kOwnProcedure && procedures_.count(previous) == 0) {
        return;  // not a procedure this window ever had
    }
    // The installed procedure that handed out `previous` is dropped, wherever it stands in
    // the chain.
    for (auto it = procedures_.begin(); it != procedures_.end(); ++it) {
        if (it->second.previous == previous) {
            if (currentProcedure_ == it->first) {
                currentProcedure_ = previous;
            } else {
                for (auto& [handle, installed] : procedures_) {
                    if (installed.previous == it->first) {
                        installed.previous = previous;
                    }
                }
            }
            procedures_.erase(it);
            return;
        }
    }
}

MessageResult QtDesktop::CallPreviousWindowProc(WindowProcHandle procedure, WindowHandle window,
                                                std::uint32_t message, WParam wParam,
                                                LParam lParam) {
    if (procedure == kOwnProcedure) {
        // Nothing of the Qt window goes through this chain: its own procedure has nothing
        // to do with any message.
        return 0;
    }
    const auto found = procedures_.find(procedure);
    if (found == procedures_.end()) {
        return 0;
    }
    // Called from a copy: the procedure may remove itself while it runs.
    const WindowProcedure copy = found->second.procedure;
    return copy(window, message, wParam, lParam);
}

bool QtDesktop::SystemTrayAvailable() const {
    return options_.systemTrayAvailable.value_or(QSystemTrayIcon::isSystemTrayAvailable());
}

// ScreenGeometry -----------------------------------------------------------------------

QPoint QtDesktop::ScreenOrigin() const {
    const QScreen* screen = PrimaryScreen();
    return screen != nullptr ? screen->geometry().topLeft() : QPoint();
}

PixelRect QtDesktop::TaskbarRect() {
    const QScreen* screen = PrimaryScreen();
    if (screen == nullptr) {
        return {};
    }
    return TaskbarStrip(screen->geometry(), screen->availableGeometry());
}

std::int32_t QtDesktop::ScreenWidth() {
    const QScreen* screen = PrimaryScreen();
    return screen != nullptr ? screen->geometry().width() : 0;
}

std::int32_t QtDesktop::ScreenHeight() {
    const QScreen* screen = PrimaryScreen();
    return screen != nullptr ? screen->geometry().height() : 0;
}

PixelRect QtDesktop::WindowOuterRect(WindowHandle window) {
    if (window != MainWindow()) {
        return {};
    }
    QRect frame = window_->frameGeometry();
    if (!window_->isVisible()) {
        frame.moveTopLeft(position_);
    }
    frame.translate(-ScreenOrigin());
    return {frame.left(), frame.top(), frame.left() + frame.width(),
            frame.top() + frame.height()};
}

// FormServices -------------------------------------------------------------------------

WindowHandle QtDesktop::MainWindow() const {
    return reinterpret_cast<WindowHandle>(window_.get());
}

bool QtDesktop::PreviousInstanceRunning() { return !lock_.TryAcquire(); }

std::string QtDesktop::CommandLineText() const { return JoinCommandLine(options_.arguments); }

FilePath QtDesktop::ProgramFolder() const {
    if (!options_.programFolder.empty()) {
        return options_.programFolder;
    }
    return FilePath(tarnleaf::ProgramFolder());
}

IconHandle QtDesktop::LoadProgramIcon() {
    if (programIcon_ != 0) {
        return programIcon_;
    }
    QIcon icon(QString::fromLatin1(kProgramIconResource));
    if (icon.isNull() || icon.availableSizes().isEmpty()) {
        return 0;
    }
    programIcon_ = static_cast<IconHandle>(icons_.size() + 1);
    icons_.emplace(programIcon_, icon);
    return programIcon_;
}

void QtDesktop::SetWindowIcon(IconHandle icon) {
    const auto found = icons_.find(icon);
    window_->setWindowIcon(found != icons_.end() ? found->second : QIcon());
}

void QtDesktop::SetWindowVisible(bool visible) {
    if (!visible) {
        if (window_->isVisible()) {
            position_ = window_->pos();  // where the user left it
        }
        window_->hide();
        return;
    }
    const bool first = !everShown_;
    everShown_ = true;
    showing_ = true;
    resizedWhileShowing_ = false;
    if ((window_->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)) != 0) {
        window_->setWindowState(window_->windowState() &
                                ~(Qt::WindowMinimized | Qt::WindowMaximized));
    }
    window_->move(position_);
    window_->show();
    if (!first) {
        // Start-up's showing is undone at once (the window lives in the tray); it must not
        // take the focus from what the user is doing.
        window_->raise();
        window_->activateWindow();
    }
    showing_ = false;
    // The first showing is followed by a size notification, as the logic expects.
    if ((first || resizedWhileShowing_) && events_ != nullptr && !quitting_) {
        events_->OnResize();
    }
}

void QtDesktop::SetWindowLeft(int twips) {
    if (window_->isVisible()) {
        position_ = window_->pos();  // the user may have dragged it
    }
    position_.setX(TwipsToPixels(twips, twipsX_) + ScreenOrigin().x());
    window_->move(position_);
}

void QtDesktop::SetWindowTop(int twips) {
    if (window_->isVisible()) {
        position_ = window_->pos();
    }
    position_.setY(TwipsToPixels(twips, twipsY_) + ScreenOrigin().y());
    window_->move(position_);
}

WindowState QtDesktop::GetWindowState() const {
    const Qt::WindowStates state = window_->windowState();
    if ((state & Qt::WindowMinimized) != 0) {
        return WindowState::Minimized;
    }
    if ((state & (Qt::WindowMaximized | Qt::WindowFullScreen)) != 0) {
        return WindowState::Maximized;
    }
    return WindowState::Normal;
}

void QtDesktop::SetWindowState(WindowState state) {
    const Qt::WindowStates normal =
        window_->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized |
                                   Qt::WindowFullScreen);
    switch (state) {
        case WindowState::Normal:
            window_->setWindowState(normal);
            break;
        case WindowState::Minimized:
            window_->setWindowState(normal | Qt::WindowMinimized);
            break;
        case WindowState::Maximized:
            window_->setWindowState(normal | Qt::WindowMaximized);
            break;
    }
}

void QtDesktop::SetMenuChecked(MenuItem item, bool checked) {
    // Only a checked item is checkable: styles draw an empty box beside the others, and the
    // menu shows a check mark beside a checked item only.
    QAction& action = MenuAction(item);
    if (checked) {
        action.setCheckable(true);
        action.setChecked(true);
    } else {
        action.setChecked(false);
        action.setCheckable(false);
    }
}

void QtDesktop::ShowPopupMenu(MenuItem defaultItem) {
    // One menu at a time: a press that reaches the icon while its menu is open (the menu
    // normally takes all presses) must not start it a second time inside the first.
    if (quitting_ || menuOpen_) {
        return;
    }
    std::vector<bool> checked;
    for (QAction* action : actions_) {
        QFont font = action->font();
        font.setBold(action == &MenuAction(defaultItem));
        action->setFont(font);
        checked.push_back(action->isChecked());
    }
    menu_->setDefaultAction(&MenuAction(defaultItem));

    menuOpen_ = true;
    QAction* chosen = options_.runMenu ? options_.runMenu(*menu_, QCursor::pos())
                                       : menu_->exec(QCursor::pos());
    menuOpen_ = false;
    // Qt flips a checkable item when it is chosen; the check marks are the logic's to set.
    for (std::size_t i = 0; i < actions_.size(); ++i) {
        if (actions_[i]->isChecked() != checked[i]) {
            actions_[i]->setChecked(checked[i]);
        }
    }
    if (chosen == nullptr || events_ == nullptr || quitting_) {
        return;
    }
    for (const MenuItem item : form_layout::kMenuOrder) {
        if (chosen == &MenuAction(item)) {
            events_->OnMenuClick(item);
            return;
        }
    }
}

void QtDesktop::ViewSetText(std::string_view text) {
    viewText_.assign(text);
    window_->LogView().setPlainText(DisplayText(viewText_));
}

void QtDesktop::ViewAppend(std::string_view text) {
    viewText_.append(text);
    QTextCursor cursor(window_->LogView().document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(DisplayText(text));
}

void QtDesktop::ViewSetCaret(std::size_t offset) {
    QPlainTextEdit& view = window_->LogView();
    QTextCursor cursor = view.textCursor();
    if (offset >= viewText_.size()) {
        cursor.movePosition(QTextCursor::End);
    } else {
        const int last = view.document()->characterCount() - 1;
        cursor.setPosition(std::clamp(DisplayPosition(viewText_, offset), 0, std::max(last, 0)));
    }
    view.setTextCursor(cursor);
    view.ensureCursorVisible();
}

void QtDesktop::OpenDocument(WindowHandle /*owner*/, const FilePath& file,
                             const FilePath& /*directory*/) {
    const QUrl url = QUrl::fromLocalFile(QString::fromStdString(file.string()));
    // Whatever the desktop answers (no file, no application for it) stays unreported.
    if (options_.openUrl) {
        options_.openUrl(url);
    } else {
        static_cast<void>(QDesktopServices::openUrl(url));
    }
}

void QtDesktop::ShowErrorBox(std::string_view caption, std::string_view text) {
    QWidget* owner = window_->isVisible() ? window_.get() : nullptr;
    QMessageBox box(QMessageBox::Critical, FromUtf8(caption), FromUtf8(text), QMessageBox::Ok,
                    owner);
    box.setObjectName(QStringLiteral("TarnleafErrorBox"));
    box.setWindowIcon(window_->windowIcon());
    box.exec();
}

void QtDesktop::Quit(int exitCode) {
    if (quitting_) {
        return;
    }
    quitting_ = true;
    exitCode_ = exitCode;
    socket_.reset();
    window_->hide();
    // Ends the main loop and any nested one (a menu, a message box) it runs in.
    QCoreApplication::exit(exitCode);
}

}  // namespace tarnleaf
