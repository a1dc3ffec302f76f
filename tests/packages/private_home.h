#pragma once

#include "../host/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>

/// Keeps the host and the packages a test loads away from the real user's files: HOME and the
/// XDG folders point into a temporary folder for the whole test program.
class TPrivateHome : public testing::Environment {
public:
    void SetUp() override {
        for (const char* Var : {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"})
            ::setenv(Var, FDir.File(Var).c_str(), 1);
    }

private:
    TTempDir FDir;
};
