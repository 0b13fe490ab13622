#include "registry.h"

#include "QVXILib.h"
#include "QVXMap.h"
#include "qvxslib.h"

namespace qvx {

void RegisterAssetComponents() {
    tk::RegisterComponentClass<TQVXImageLib>("TQVXImageLib");
    tk::RegisterComponentClass<TQVXSoundLib>("TQVXSoundLib");
    tk::RegisterComponentClass<TQVXMapLib>("TQVXMapLib");
}

}  // namespace qvx
