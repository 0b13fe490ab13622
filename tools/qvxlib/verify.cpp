// qvxlib verify: every library loaded through its classes and every item
// decoded; one line (or one JSON object) per problem, exit 1 if any.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "qvxlib.h"
#include "toolkit/sysutils.h"

namespace qvxlib {

namespace {

// The kind of `file`: --kind when given, else found from its first bytes.
const KindHandler* DetectKind(const Args& a, const std::string& file, std::string& error) {
    if (auto k = a.Option("kind")) return FindKind(*k);
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        error = tk::Format(tk::msg::SFOpenError, file.c_str());
        return nullptr;
    }
    std::vector<uint8_t> head(64);
    in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<size_t>(in.gcount()));
    for (auto& k : Kinds())
        if (k.detect && k.detect(head)) return &k;
    error = "Cannot tell the library kind of " + file + "; give --kind";
    return nullptr;
}

}  // namespace

int VerifyCommand(const Args& a) {
    if (a.positional.empty()) throw UsageError{"missing FILE"};
    if (auto k = a.Option("kind"); k && (!FindKind(*k) || !FindKind(*k)->verify))
        throw UsageError{"cannot verify kind \"" + *k + "\""};

    Problems all;
    for (const std::string& file : a.positional) {
        Problems found;
        std::string error;
        const KindHandler* kind = DetectKind(a, file, error);
        if (!kind) {
            found.push_back({file, -1, {}, error});
        } else {
            try {
                kind->verify(file, found);
            } catch (const std::bad_alloc&) {
                found.push_back({file, -1, {}, tk::msg::SOutOfMemory});
            } catch (const std::exception& e) {
                found.push_back({file, -1, {}, e.what()});
            }
        }
        std::stable_sort(found.begin(), found.end(),
                         [](const Problem& x, const Problem& y) { return x.index < y.index; });
        for (Problem& p : found) {
            p.file = file;
            all.push_back(std::move(p));
        }
    }

    if (a.Flag("json")) {
        Json j;
        j.BeginArray();
        for (const Problem& p : all) {
            j.BeginObject().Key("file").Str(p.file).Key("index");
            if (p.index >= 0)
                j.Int(p.index);
            else
                j.Null();
            j.Key("name").Str(p.name).Key("message").Str(p.message).EndObject();
        }
        j.EndArray();
        std::printf("%s\n", j.Text().c_str());
    } else {
        for (const Problem& p : all) {
            if (p.index >= 0)
                std::printf("%s: item %d \"%s\": %s\n", p.file.c_str(), p.index, p.name.c_str(), p.message.c_str());
            else
                std::printf("%s: %s\n", p.file.c_str(), p.message.c_str());
        }
    }
    return all.empty() ? kOk : kFailed;
}

}  // namespace qvxlib
