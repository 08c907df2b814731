// A test on the platform double: real files in a scratch directory that
// serves as the temporary path, a scripted user, and a record of every call.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/command_line.h"
#include "common/crc32.h"
#include "common/platform.h"
#include "common/unpack_error.h"
#include "common/unpack_state.h"
#include "tests/doubles/platform_double.h"
#include "tests/support/archive_writer.h"
#include "tests/support/files.h"

class DoubleTest : public ::testing::Test {
public:
    ScratchDir scratch;
    int window = 0;  // its address stands in for the host window

    void SetUp() override {
        platform_double_reset();
        platform = platform_double_table();
        crc32_build_table();
        unpack.host_window = &window;
        unpack.output_file = nullptr;
        unpack.work_folder = nullptr;
        read_launch_options("installer.exe");
        platform_double.temp_path = scratch.path + "/";
    }
    void TearDown() override { archive_close(); }

    // Writes `archive` to a file and opens it as archive_stream at offset 0.
    void open_archive(const Bytes& archive) {
        write_file(scratch / "archive.arj", archive);
        ASSERT_TRUE(archive_open((scratch / "archive.arj").c_str()));
    }
    // The texts of the message boxes shown so far.
    std::vector<std::string> messages() const {
        std::vector<std::string> texts;
        for (const MessageBoxRecord& box : platform_double.boxes) texts.push_back(box.text);
        return texts;
    }
    std::string extract_dir() const { return scratch.path + "/out/"; }
};

using Texts = std::vector<std::string>;
