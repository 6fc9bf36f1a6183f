#include "ui/pages/ScanDlg.h"
#include "ui/controls/PageDrawing.h"

#include "framework/CWinApp.h"
#include "res/resource.h"

CScanDlg::CScanDlg() : CBaseWnd(IDD_SCAN) {}

CScanDlg::~CScanDlg() = default;

void CScanDlg::SetStepState(int index, std::int32_t state)
{
    if (index >= 0 && index < kStepCount)
        m_stepStates[index].store(state);
}

std::int32_t CScanDlg::GetStepState(int index) const
{
    return index >= 0 && index < kStepCount ? m_stepStates[index].load() : kNoMark;
}

void CScanDlg::DoDataExchange()
{
    for (int index = 0; index < kStepCount; ++index)
        BindControl(IDC_STEP_FIRST + index, m_stepLabels[index]);
}

BOOL CScanDlg::OnInitDialog()
{
    CBaseWnd::OnInitDialog();
    HINSTANCE instance = AfxGetInstanceHandle();
    m_header.reset(LoadImageFile(instance, L"images/headers/scan-title.PNG"));
    m_failedMark.reset(LoadImageFile(instance, L"images/windows/failed_small.PNG"));
    m_passedMark.reset(LoadImageFile(instance, L"images/windows/checked_small.PNG"));
    for (CThemeLabel& label : m_stepLabels)
        label.SetTextColor(PageColors::kBlackText);
    return TRUE;
}

void CScanDlg::DrawContent(Gdiplus::Graphics& graphics)
{
    DrawHeaderAndWhitePanel(graphics, m_header.get(), GetClientRect(), PageColors::kBlue, GetDpi());

    // Both marks are drawn in the failed mark's size.
    if (!m_failedMark)
        return;
    const SIZE markSize = ImageSizeAt(m_failedMark.get(), GetDpi());
    const int markWidth = static_cast<int>(markSize.cx);
    const int markHeight = static_cast<int>(markSize.cy);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHighQuality);
    for (int index = 0; index < kStepCount; ++index) {
        const std::int32_t state = GetStepState(index);
        HWND label = m_stepLabels[index].GetSafeHwnd();
        if (state == kNoMark || !label)
            continue;
        Gdiplus::Image* mark = state == kPassed ? m_passedMark.get() : m_failedMark.get();
        if (!mark)
            continue;
        RECT rect = m_stepLabels[index].GetRectInParent();
        graphics.DrawImage(mark, static_cast<INT>(rect.left) - markWidth - Scaled(5),
                           static_cast<INT>(rect.top + (rect.bottom - rect.top - markHeight) / 2), markWidth,
                           markHeight);
    }
}
