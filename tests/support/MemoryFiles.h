// An in-memory file source for script tests.
#pragma once

#include <map>
#include <string>

#include "script/ScriptText.h"

namespace kvx::test {

inline script::FileSource memoryFiles(std::map<std::string, std::string> files) {
    return [files = std::move(files)](const char* name) -> std::optional<std::string> {
        auto it = files.find(name);
        if (it == files.end()) {
            return std::nullopt;
        }
        return it->second;
    };
}

}  // namespace kvx::test
