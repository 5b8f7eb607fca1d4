// Running the project's programs as a user would, for the tool tests: the
// program from the build's bin folder through the shell, with what it
// printed and its exit status; and reading back the files it wrote.
//
//   const test::ToolRun r = test::runTool("kvxmesh", "cube " + dir / "c.msh");
//   EXPECT_EQ(r.status, 0) << r.out;
#pragma once

#include <sys/wait.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace kvx::test {

struct ToolRun {
    int status = -1;  // the exit status; -1 when the program did not exit normally
    std::string out;  // stdout and stderr together
};

// Runs tool with args, passed through the shell as written.
inline ToolRun runTool(const std::string& tool, const std::string& args) {
    const std::string command = std::string(KVX_BIN_DIR) + "/" + tool + " " + args + " 2>&1";
    ToolRun r;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return r;
    }
    char buf[512];
    while (fgets(buf, sizeof(buf), pipe) != nullptr) {
        r.out += buf;
    }
    const int raw = pclose(pipe);
    r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return r;
}

// A whole file, as bytes or as text; empty when it cannot be read.
inline std::vector<uint8_t> readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                                std::istreambuf_iterator<char>());
}
inline std::string readFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace kvx::test
