#pragma once

#include "engine/setup/stage_catalog_providing.h"

namespace quill {

/// The stage catalogue every spine product carries. Nothing asks a catalogue anything yet, so this one
/// answers nothing. Stateless and thread-safe.
class ClaudeStageCatalog final : public StageCatalogProviding {};

}  // namespace quill
