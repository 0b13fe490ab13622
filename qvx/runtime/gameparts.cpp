#include "gameparts.h"

namespace qvx {

bool OwnerHasScreen(const tk::TComponent* owner) {
    if (!owner) return false;
    for (int i = 0; i < owner->ComponentCount(); ++i)
        if (tk::SameText(owner->Components(i)->ClassName(), "TQVXScreen")) return true;
    return false;
}

}  // namespace qvx
