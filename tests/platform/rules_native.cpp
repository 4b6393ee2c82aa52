#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/native.h"

using namespace kavrel::platform;

#ifndef _WIN32
TEST(NewProgramPath, IsNumberedInTheHomeFolder) {
    const char* saved = std::getenv("HOME");
    std::string keep = saved ? saved : "";
    setenv("HOME", "/home/léa/", 1);
    EXPECT_EQ(newProgramPath(1), "/home/léa/Prog_1.asc");
    setenv("HOME", "/", 1);
    EXPECT_EQ(newProgramPath(12), "/Prog_12.asc");
    setenv("HOME", keep.c_str(), 1);
}
#else
TEST(NewProgramPath, IsOnDriveC) { EXPECT_EQ(newProgramPath(3), "c:\\Prog_3.asc"); }
#endif
