#include "tests/app/MainWindowSupport.h"

#include <gtest/gtest.h>

#include "framework/CMFCVisualManager.h"
#include "tests/support/TestSupport.h"
#include "ui/skin/Skin.h"

void PrepareMainWindow(CTavrinApp& app, const wchar_t* appName,
                       Tavrin::Core::WindowsUpdate::COMPATIBILITY_RESULT& result)
{
    ASSERT_TRUE(theSkin.Load(Tavrin::Test::BinFolder() + L"\\ui.xml", ::GetModuleHandleW(nullptr)));
    CMFCVisualManager::SetDefaultManager<CMFCVisualManagerWindows>();
    app.m_appName = appName;
    app.SetRegistryKey(L"Tavrin");
    result.windowsVersion = Tavrin::Core::WindowsVersionCode::Windows10;
}
