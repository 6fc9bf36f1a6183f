#pragma once
#include <atomic>
#include <cstdint>
#include <memory>

#include "ui/controls/CBaseWnd.h"
#include "ui/controls/CThemeLabel.h"

// The scan page of the pre-upgrade dialog: nine steps, each marked passed or
// failed once the scan reaches it.
class CScanDlg : public CBaseWnd {
public:
    static constexpr int kStepCount = 9;
    // Six requirements, then the three inventories.
    static constexpr int kRequirementSteps = 6;
    enum StepState : std::int32_t { kNoMark = 0, kPassed = 1, kFailed = 2 };

    CScanDlg();
    ~CScanDlg() override;

    // The scan thread sets the states while the page paints them on the
    // user-interface thread; a state is one word, written and read whole.
    void SetStepState(int index, std::int32_t state);
    std::int32_t GetStepState(int index) const;

    const CThemeLabel& StepLabel(int index) const { return m_stepLabels[index]; }

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    void DrawContent(Gdiplus::Graphics& graphics) override;

private:
    std::atomic<std::int32_t> m_stepStates[kStepCount] = {};
    CThemeLabel m_stepLabels[kStepCount];
    std::unique_ptr<Gdiplus::Image> m_header;
    std::unique_ptr<Gdiplus::Image> m_failedMark;
    std::unique_ptr<Gdiplus::Image> m_passedMark;
};
