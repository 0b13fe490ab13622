#include "formdata.h"

#include "forms.h"
#include "qvx/assets/registry.h"
#include "qvx/hicolor/hicolor_library.h"
#include "qvx/intro/intro_component.h"
#include "toolkit/propstream.h"
#include "toolkit/streams.h"

namespace qvx {

void RegisterGameClasses() {
    RegisterRuntimeComponents();
    RegisterAssetComponents();
    RegisterHiColorClasses();
    RegisterIntroClasses();
}

void LoadFormFromData(TForm& form, const std::vector<uint8_t>& data,
                      const tk::THandlerTable& handlers,
                      const std::function<void()>& beforeLoaded) {
    RegisterGameClasses();
    tk::TPointerStream stream(data.data(), static_cast<int64_t>(data.size()));
    if (!data.empty() && data[0] == 0xFF) tk::ReadResourceHeader(stream);
    tk::TReader reader(stream);
    reader.SetHandlers(&handlers);
    reader.SetBeforeLoaded(beforeLoaded);
    reader.ReadRootComponent(form, /*keepName=*/false);
}

std::vector<uint8_t> SaveFormToData(TForm& form) {
    return tk::WriteComponentData(form);
}

}  // namespace qvx
