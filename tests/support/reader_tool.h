// The independent readers the tests check saved files with (regfexport,
// evtexport): the file is written to a temporary path, the tool runs on it,
// and its output comes back; a tool that fails is a test failure.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace vorlek::testing_support {

inline std::string run_reader(const std::string& tool, const std::vector<uint8_t>& file,
                              const std::string& path) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.data()),
               static_cast<std::streamsize>(file.size()));
    std::string out;
    if (FILE* p = ::popen((tool + " " + path + " 2>&1").c_str(), "r")) {
        char buf[4096];
        while (size_t n = std::fread(buf, 1, sizeof buf, p))
            out.append(buf, n);
        EXPECT_EQ(::pclose(p), 0) << out;
    } else {
        ADD_FAILURE() << "cannot run " << tool;
    }
    std::remove(path.c_str());
    return out;
}

// How often `what` stands in `text`.
inline size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

}  // namespace vorlek::testing_support
