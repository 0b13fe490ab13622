// Game windows built from form data: a form's properties, the components it
// owns (created by class name), their properties and embedded libraries,
// references between them and events bound by name to the game's handlers.
//
//   tk::THandlerTable handlers;
//   handlers.Add("ScreenFlip", [&](tk::TObject* sender) { ... });
//   auto* form = app.CreateForm<qvx::TForm>();
//   qvx::LoadFormFromData(*form, formData, handlers);
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "toolkit/classes.h"

namespace qvx {

class TForm;

// Registers every class form data may name: the form, the screen, audio,
// input, the intro player and the image/tile, sound, map, hi-colour and
// intro libraries.
void RegisterGameClasses();

/// Reads `data` (a bare "TPF0" stream or one behind a resource header) into
/// `form`: the form takes the data's name and properties and owns the
/// components the data lists. References are resolved once everything is
/// read; then every component's loaded step runs, the form's first and the
/// others in the order the data gives. An event naming a handler the table
/// lacks fails with "Handler %s is not registered" (inside the usual
/// "Error reading ..." message). `beforeLoaded`, when given, runs once all is
/// read and linked, before the loaded steps (to apply command-line choices,
/// say, that the loaded steps act on).
void LoadFormFromData(TForm& form, const std::vector<uint8_t>& data,
                      const tk::THandlerTable& handlers,
                      const std::function<void()>& beforeLoaded = {});
/// The form's data as LoadFormFromData reads it (a bare stream).
std::vector<uint8_t> SaveFormToData(TForm& form);

}  // namespace qvx
