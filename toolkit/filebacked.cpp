#include "filebacked.h"

namespace tk {

bool TFileBackedData::GivenUp() const {
    // Items put in since (a load, an assignment) are the library's data now.
    return !givenUpFrom_.empty() && hooks_.count() == 0;
}

void TFileBackedData::Need() {
    if (!GivenUp()) {
        givenUpFrom_.clear();
        return;
    }
    // A failed load leaves the items given up: the next Need tries again.
    hooks_.load(givenUpFrom_);
    givenUpFrom_.clear();
}

void TFileBackedData::Built() {
    std::string file = hooks_.fileName();
    if (file.empty()) return;
    hooks_.drop();
    givenUpFrom_ = std::move(file);
}

}  // namespace tk
