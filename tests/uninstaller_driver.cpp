#include "uninstaller_driver.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include "test_files.h"

namespace {

// Wine on a display without a window manager waits 2 s for every hidden
// managed window; kvxpurge's windows are made unmanaged for this test run.
class UnmanagedWindows : public ::testing::Environment {
    static constexpr char Key[] = "Software\\Wine\\AppDefaults\\kvxpurge.exe";

public:
    void SetUp() override
    {
        SetRegistryValue(HKEY_CURRENT_USER, std::string(Key) + "\\X11 Driver", "Managed", REG_SZ, Sz("N"));
    }
    void TearDown() override { RegDeleteTreeA(HKEY_CURRENT_USER, Key); }
};
const auto* const unmanagedWindows = ::testing::AddGlobalTestEnvironment(new UnmanagedWindows);

}  // namespace

std::string Record(unsigned char type, const std::string& text)
{
    return std::string(1, static_cast<char>(type)) + text + '\0';
}

void WriteBytes(const std::string& path, const std::string& bytes, const char* file, int line)
{
    if (!WriteFileText(path, bytes)) ADD_FAILURE_AT(file, line) << "cannot write " << path;
}

std::string CommandFor(const std::string& logPath) { return "kvxpurge.exe " + logPath; }

void ExpectState(const char* file, int line, const Uninstaller& run, const DialogState& state)
{
    const ::testing::ScopedTrace trace(file, line, state.name);
    EXPECT_EQ(run.Text(IDC_HEADLINE), state.headline);
    EXPECT_EQ(run.Text(IDC_STAGE), state.stage);
    EXPECT_EQ(run.Text(IDC_STATUS), state.status);
    EXPECT_EQ(run.Visible(IDC_PROGRESS), state.progressVisible);
    EXPECT_EQ(run.Visible(IDC_UNINSTALL), state.uninstallVisible);
    if (state.uninstallVisible) EXPECT_EQ(run.Enabled(IDC_UNINSTALL), state.uninstallEnabled);
    EXPECT_EQ(run.Text(IDC_CANCEL), state.closeText);
    EXPECT_TRUE(run.Visible(IDC_HEADLINE) && run.Visible(IDC_STAGE) && run.Visible(IDC_STATUS) &&
                run.Visible(IDC_CANCEL) && run.Visible(IDC_PICTURE));
}

DialogState WrongStart(const std::string& tried)
{
    return {"Wrong start", HeadlineText, WrongStartText, tried, false, true, false, "Cancel"};
}
DialogState Ready(const std::string& headline, const std::string& logPath)
{
    return {"Ready", headline, ReadyText, logPath, false, true, true, "Cancel"};
}
DialogState Finished(const std::string& headline)
{
    return {"Finished", headline, "Finished", "Uninstall is ready !", true, false, false, "Finish"};
}
