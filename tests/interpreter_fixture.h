#pragma once
// What the interpreter's tests share: the test prefix's registry and file
// system made ready for one test, and scripts written in place.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "catalogue.h"
#include "failures.h"
#include "files.h"
#include "installation.h"
#include "interpreter.h"
#include "link_guard.h"
#include "registry.h"
#include "templates.h"
#include "test_checks.h"
#include "test_files.h"
#include "uninstall_log.h"
#include "user_registration.h"
#include "progress_sink.h"

using Records = std::vector<LogRecord>;

// Checked where it is called.
#define WRITE_ALL(path, bytes) EXPECT_TRUE(WriteFileText(path, bytes)) << (path)

// A drive letter that names no drive, or 0.
inline char UnmappedDrive()
{
    const DWORD drives = GetLogicalDrives();
    for (char c = 'Y'; c >= 'D'; --c)
        if (!(drives & (1u << (c - 'A')))) return c;
    return 0;
}

// A key whose children cannot be made non-volatile: the registry refuses the
// interpreter's writes below it, as HKEY_LOCAL_MACHINE refuses a user without rights.
// False when either key cannot be made.
inline bool CreateVolatileKey(HKEY root, const std::string& parent, const std::string& key)
{
    HKEY handle;
    if (RegCreateKeyExA(root, parent.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &handle, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    if (RegCreateKeyExA(root, (parent + "\\" + key).c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_WRITE, nullptr,
                        &handle, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(handle);
    return true;
}

// The records the open log holds so far.
inline Records InterpreterLog()
{
    return LogRecordsOf(std::string(reinterpret_cast<const char*>(TheUninstallLog.recordBuffer), LogLength()));
}

// A script from entries; the end entry is added.
struct Script {
    std::vector<ScriptEntry> entries;
    Script(std::initializer_list<ScriptEntry> list) : entries(list) { entries.push_back({nullptr, {}, {}, ScriptOp::ProgressOnly}); }
    const ScriptEntry* get() const { return entries.data(); }
};

inline void RunEntries(std::initializer_list<ScriptEntry> list) { RunScript(Script(list).get()); }

constexpr char TestKey[] = "Software\\OstrevaneTest";

// Engine buffers, an open log, a folder of its own and the test registry
// keys under HKCU and HKLM, all removed again.
class Interpreter : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(AllocateEngineBuffers());
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        name_ = std::string(info->test_suite_name()) + "_" + info->name();
        folder_ = TestFolder(("ostrevane_" + name_).c_str());
        ASSERT_TRUE(FolderExists(folder_)) << folder_;
        key_ = std::string(TestKey) + "\\" + name_;
        RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, key_.c_str());
        ASSERT_TRUE(OpenLog((folder_ + "\\uninst.kvx").c_str()));
        TheProgressSink = {nullptr, nullptr, nullptr};
        ClearFailures();
        ForgetEarlierLooks();  // as each installation begins
    }
    void TearDown() override
    {
        ForgetEarlierLooks();
        CloseLog();
        ReleaseEngineBuffers();
        UserRegistration = &UserRegistrationRule(false, DesktopUser::ThisAccount);
        TheProgressSink = {nullptr, nullptr, nullptr};
        SetCurrentDirectoryA(folder_.substr(0, folder_.rfind('\\')).c_str());
        RemoveTree(folder_);
        RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str());
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, key_.c_str());
        RegDeleteKeyA(HKEY_CURRENT_USER, TestKey);  // only once it is empty
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, TestKey);
    }
    std::string Path(const std::string& tail) const { return folder_ + "\\" + tail; }

    std::string name_, folder_, key_;
};

// ExtractResource ------------------------------------------------------------
