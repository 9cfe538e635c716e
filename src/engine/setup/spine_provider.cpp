#include "engine/setup/spine_provider.h"

namespace quill {

const SpineWorkflowSelection& SpineWorkflowSelection::standard() {
    static const SpineWorkflowSelection selection{};
    return selection;
}

}  // namespace quill
