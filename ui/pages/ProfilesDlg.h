#pragma once
#include <functional>
#include <optional>
#include <string>

#include "core/settings/Presets.h"
#include "ui/controls/CBaseWnd.h"

// "Profiles...": the built-in presets, each with what it would change on
// this PC, and saving the current settings to a profile file or applying
// one. Reading and writing the settings can take seconds (the policy
// object, the restore point), so every action runs on a thread of its own
// while the actions are disabled, and the dialog then says what it did. A
// dialog closed during an action leaves it to finish; the journal holds
// what it changed.
class CProfilesDlg : public CBaseWnd {
public:
    static constexpr wchar_t kCaption[] = L"Profiles";
    static constexpr wchar_t kFileType[] = L"Tavrin profile (*.json)";
    static constexpr wchar_t kSaveTitle[] = L"Save current settings";
    static constexpr wchar_t kOpenTitle[] = L"Apply a profile";
    // Asks the user for a profile file to write (save) or to read; empty
    // when they cancelled.
    using FilePicker = std::function<std::wstring(HWND owner, bool save)>;

    explicit CProfilesDlg(CWnd* parent = nullptr);
    ~CProfilesDlg() override;

    // The common item dialogs by default; tests give their own.
    void SetFilePicker(FilePicker picker) { m_pick = std::move(picker); }
    static std::wstring PickWithCommonDialog(HWND owner, bool save);

    // An action runs.
    bool Busy() const { return m_busy; }
    // Since the dialog opened: some setting was written, and one of the
    // rows written asks for a restart.
    bool SettingsChanged() const { return m_changed; }
    bool RestartNeeded() const { return m_restartNeeded; }

protected:
    BOOL OnInitDialog() override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DrawContent(Gdiplus::Graphics& graphics) override;

public:
    // What an action did, made on its thread and shown on this one.
    struct Outcome {
        std::wstring summary;
        bool changed = false;
        bool restartNeeded = false;
        // The presets' counts, read again after every action.
        unsigned recommended = 0;
        unsigned strict = 0;
    };

private:
    void Start(std::function<Outcome()> action);
    void OnActionDone(Outcome* outcome);
    void EnableActions(bool enable);
    void ShowCount(int textId, Tavrin::Core::Preset preset, std::optional<unsigned> count);

    FilePicker m_pick;
    bool m_busy = false;
    bool m_changed = false;
    bool m_restartNeeded = false;
};
