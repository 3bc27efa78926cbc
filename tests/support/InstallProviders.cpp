// Compiled into every test program itself (not into a library, where the
// linker could leave it out), so that each test opens its connections
// through the real providers, as the program does.
#include "data/providers/ProviderRegistry.h"

namespace {

const bool providersInstalled = (vdata::installProviders(), true);

} // namespace
