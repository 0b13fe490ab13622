// Shared helpers of the asset library tests.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "toolkit/classes.h"
#include "toolkit/streams.h"

namespace testutil {

using Bytes = std::vector<uint8_t>;

template <class Lib>
void LoadBytes(Lib& lib, const Bytes& bytes) {
    tk::TPointerStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
    lib.LoadFromStream(s);
}

template <class Lib>
Bytes SaveBytes(const Lib& lib) {
    tk::TMemoryStream m;
    lib.SaveToStream(m);
    return m.Bytes();
}

// The message of the exception fn raises ("" when it raises none).
inline std::string MessageOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const tk::Exception& e) {
        return e.Message();
    }
    return "";
}

inline std::string TempDir(const std::string& tag) {
    auto dir = std::filesystem::temp_directory_path() / ("qvx_" + tag + "_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    return dir.string();
}

// Records what DefineProperties declares.
struct RecordingFiler : tk::TFiler {
    struct Binary {
        std::string name;
        std::function<void(tk::TStream&)> read, write;
        bool hasData;
    };
    std::vector<Binary> binaries;
    void DefineProperty(const std::string&, std::function<void(tk::TReader&)>, std::function<void(tk::TWriter&)>,
                        bool) override {}
    void DefineBinaryProperty(const std::string& name, std::function<void(tk::TStream&)> read,
                              std::function<void(tk::TStream&)> write, bool hasData) override {
        binaries.push_back({name, std::move(read), std::move(write), hasData});
    }
};

}  // namespace testutil
