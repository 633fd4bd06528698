// The component identity as the frame sees it (values in identity.h).
#include "identity.h"

#include "component_identity_definition.h"
