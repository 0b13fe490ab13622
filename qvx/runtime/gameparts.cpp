#include "gameparts.h"

#include "screen.h"

namespace qvx {

bool OwnerHasScreen(const tk::TComponent* owner) {
    if (!owner) return false;
    for (int i = 0; i < owner->ComponentCount(); ++i)
        if (dynamic_cast<TQVXScreen*>(owner->Components(i))) return true;
    return false;
}

}  // namespace qvx
