// qvxlib verify: every library loaded through its classes and every item
// decoded; one line (or one JSON object) per problem, exit 1 if any.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "qvxlib.h"
#include "toolkit/names.h"
#include "toolkit/sysutils.h"

namespace qvxlib {

namespace {

// The kind of `file`: --kind when given, else found from its first bytes.
const KindHandler* KindToVerify(const Args& a, const std::string& file, std::string& error) {
    if (auto k = a.Option("kind")) return FindKind(*k);
    try {
        if (const KindHandler* k = DetectKind(ReadHead(file))) return k;
        error = "cannot tell the library kind; give --kind";
    } catch (const std::exception& e) {
        error = ErrorText(e);
    }
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
        const KindHandler* kind = KindToVerify(a, file, error);
        if (!kind) {
            found.push_back({file, -1, {}, error});
        } else {
            try {
                kind->verify(file, found);
            } catch (const std::bad_alloc&) {
                found.push_back({file, -1, {}, tk::msg::SOutOfMemory});
            } catch (const std::exception& e) {
                found.push_back({file, -1, {}, ErrorText(e)});
            } catch (...) {
                found.push_back({file, -1, {}, "Unknown error"});
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
            const std::string file = tk::ShownText(p.file), message = tk::ShownText(p.message);
            if (p.index >= 0)
                std::printf("%s: item %d \"%s\": %s\n", file.c_str(), p.index,
                            Shown(p.name).c_str(), message.c_str());
            else
                std::printf("%s: %s\n", file.c_str(), message.c_str());
        }
    }
    return all.empty() ? kOk : kFailed;
}

}  // namespace qvxlib
