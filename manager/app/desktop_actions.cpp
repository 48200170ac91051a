// The desktop actions over platform/process.h.
#include "manager/app/desktop_actions.h"
