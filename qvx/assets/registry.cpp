#include "registry.h"

#include "image_library.h"
#include "map_library.h"
#include "sound_library.h"

namespace qvx {

void RegisterAssetComponents() {
    tk::RegisterComponentClass<TQVXImageLib>("TQVXImageLib");
    tk::RegisterComponentClass<TQVXSoundLib>("TQVXSoundLib");
    tk::RegisterComponentClass<TQVXMapLib>("TQVXMapLib");
}

}  // namespace qvx
