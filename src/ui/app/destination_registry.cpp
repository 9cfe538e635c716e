#include "ui/app/destination_registry.h"

namespace quill::ui {

DestinationRegistry DestinationRegistry::standard() {
    // Every screen the path leads to is registered here. Until one exists its entry stays empty, and the
    // window shows a page saying it is not available.
    DestinationRegistry registry;
    return registry;
}

}  // namespace quill::ui
