#include "support/FakeDesktop.h"

#include <algorithm>

namespace tarnleaf::testing {

FakeDesktop::FakeDesktop() {
    windows_[kMainWindow] = Window{nextProc_, 0};
    ++nextProc_;
    windowRects[kMainWindow] = PixelRect{0, 0, 394, 346};
}

WindowHandle FakeDesktop::AddWindow() {
    const WindowHandle window = ++nextWindow_;
    windows_[window] = Window{nextProc_++, 0};
    return window;
}

WindowProcHandle FakeDesktop::CurrentProc(WindowHandle window) const {
    const auto found = windows_.find(window);
    return found == windows_.end() ? 0 : found->second.current;
}

WindowProcHandle FakeDesktop::OwnProc(WindowHandle window) const {
    const auto found = windows_.find(window);
    return found == windows_.end() ? 0 : found->second.ownProc;
}

std::uint32_t FakeDesktop::RegisteredNumber(const std::string& name) const {
    const auto found = registered_.find(name);
    return found == registered_.end() ? 0 : found->second;
}

MessageResult FakeDesktop::Deliver(WindowHandle window, std::uint32_t message, WParam wParam,
                                   LParam lParam) {
    const auto found = windows_.find(window);
    if (found == windows_.end()) {
        return 0;
    }
    const WindowProcHandle current = found->second.current;
    const auto installed = procedures_.find(current);
    if (current != 0 && installed != procedures_.end()) {
        // Copied: the procedure may restore the window's own one while it runs.
        const WindowProcedure procedure = installed->second;
        return procedure(window, message, wParam, lParam);
    }
    return CallPreviousWindowProc(found->second.ownProc, window, message, wParam, lParam);
}

void FakeDesktop::MouseOnIcon(LParam mouseMessage, WindowHandle window) {
    std::vector<NotifyIconData> targets;
    for (const auto& [key, record] : icons) {
        if (key.first == window) {
            targets.push_back(record);
        }
    }
    for (const NotifyIconData& record : targets) {
        Deliver(window, record.uCallbackMessage, record.uID, mouseMessage);
    }
}

void FakeDesktop::RestartShell() {
    icons.clear();
    const std::uint32_t number = RegisterMessageName("TaskbarCreated");
    std::vector<WindowHandle> all;
    for (const auto& entry : windows_) {
        all.push_back(entry.first);
    }
    for (const WindowHandle window : all) {
        Deliver(window, number, 0, 0);
    }
}

void FakeDesktop::UserSetsWindowState(WindowState state) {
    windowState = state;
    if (events_ != nullptr) {
        events_->OnResize();
    }
}

void FakeDesktop::UserClosesWindow() {
    if (events_ != nullptr) {
        events_->OnCloseRequest();
    }
}

void FakeDesktop::ChooseMenuItem(MenuItem item) {
    trace.push_back("Choose");
    if (events_ != nullptr) {
        events_->OnMenuClick(item);
    }
}

bool FakeDesktop::ShellNotifyIcon(NotifyIconMessage message, const NotifyIconData& record) {
    notifyCalls.push_back({message, record});
    trace.push_back(message == NotifyIconMessage::Add      ? "NotifyAdd"
                    : message == NotifyIconMessage::Modify ? "NotifyModify"
                                                           : "NotifyDelete");
    if (refuseNotify || !trayAvailable) {
        return false;
    }
    const auto key = std::make_pair(record.hWnd, record.uID);
    const bool present = icons.count(key) != 0;
    switch (message) {
        case NotifyIconMessage::Add:
            if (present) {
                return false;
            }
            icons[key] = record;
            return true;
        case NotifyIconMessage::Modify:
            if (!present) {
                return false;
            }
            icons[key] = record;
            return true;
        case NotifyIconMessage::Delete:
            return icons.erase(key) != 0;
    }
    return false;
}

std::uint32_t FakeDesktop::RegisterMessageName(std::string_view name) {
    if (failRegistration) {
        return 0;
    }
    const auto [it, added] =
        registered_.emplace(std::string(name), 0xC000 + static_cast<std::uint32_t>(registered_.size()));
    return it->second;
}

void FakeDesktop::BringToForeground(WindowHandle window) {
    foregroundCalls.push_back(window);
    trace.push_back("Foreground");
}

void FakeDesktop::PostWindowMessage(WindowHandle window, std::uint32_t message, WParam wParam,
                                    LParam lParam) {
    posted.push_back({window, message, wParam, lParam});
    trace.push_back("Post");
}

WindowProcHandle FakeDesktop::InstallWindowProc(WindowHandle window, WindowProcedure procedure) {
    const auto found = windows_.find(window);
    if (found == windows_.end()) {
        return 0;
    }
    ++installCount;
    const WindowProcHandle handle = nextProc_++;
    procedures_[handle] = std::move(procedure);
    const WindowProcHandle previous =
        found->second.current != 0 ? found->second.current : found->second.ownProc;
    found->second.current = handle;
    return previous;
}

void FakeDesktop::RestoreWindowProc(WindowHandle window, WindowProcHandle previous) {
    const auto found = windows_.find(window);
    if (found == windows_.end()) {
        return;
    }
    ++restoreCount;
    const WindowProcHandle dropped = found->second.current;
    found->second.current = previous == found->second.ownProc ? 0 : previous;
    if (dropped != 0 && dropped != found->second.current) {
        procedures_.erase(dropped);
    }
}

MessageResult FakeDesktop::CallPreviousWindowProc(WindowProcHandle procedure,
                                                  WindowHandle window, std::uint32_t message,
                                                  WParam wParam, LParam lParam) {
    for (const auto& [handle, entry] : windows_) {
        if (entry.ownProc == procedure) {
            ownProcMessages[handle].push_back({window, message, wParam, lParam});
            return ownProcResult;
        }
    }
    const auto found = procedures_.find(procedure);
    if (found == procedures_.end()) {
        return 0;
    }
    const WindowProcedure copy = found->second;
    return copy(window, message, wParam, lParam);
}

PixelRect FakeDesktop::WindowOuterRect(WindowHandle window) {
    const auto found = windowRects.find(window);
    return found == windowRects.end() ? PixelRect{} : found->second;
}

void FakeDesktop::SetWindowVisible(bool visible) {
    trace.push_back(visible ? "Show" : "Hide");
    windowVisible = visible;
    if (visible && !everShown) {
        everShown = true;
        if (events_ != nullptr) {
            events_->OnResize();
        }
    }
}

void FakeDesktop::SetWindowLeft(int twips) {
    windowLeft = twips;
    placements.emplace_back('L', twips);
}

void FakeDesktop::SetWindowTop(int twips) {
    windowTop = twips;
    placements.emplace_back('T', twips);
}

void FakeDesktop::SetWindowState(WindowState state) {
    const bool changed = state != windowState;
    windowState = state;
    if (changed && events_ != nullptr) {
        events_->OnResize();
    }
}

void FakeDesktop::ShowPopupMenu(MenuItem defaultItem) {
    trace.push_back("Popup");
    popupDefaults.push_back(defaultItem);
    ++popupDepth;
    if (onPopup) {
        const std::function<void()> action = onPopup;
        action();
    }
    --popupDepth;
}

void FakeDesktop::ViewSetText(std::string_view text) {
    viewText.assign(text);
    viewCaret = std::min(viewCaret, viewText.size());
}

void FakeDesktop::ViewAppend(std::string_view text) { viewText.append(text); }

void FakeDesktop::ViewSetCaret(std::size_t offset) { viewCaret = std::min(offset, viewText.size()); }

void FakeDesktop::OpenDocument(WindowHandle owner, const std::filesystem::path& file,
                               const std::filesystem::path& directory) {
    openedDocuments.push_back({owner, file, directory});
}

void FakeDesktop::ShowErrorBox(std::string_view caption, std::string_view text) {
    errorBoxes.push_back({std::string(caption), std::string(text)});
}

void FakeDesktop::Quit(int exitCode) {
    ++quitCalls;
    if (!quitCode) {
        quitCode = exitCode;
    }
    trace.push_back("Quit");
}

}  // namespace tarnleaf::testing
