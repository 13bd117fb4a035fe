#include "os/env.h"

namespace pelmoro {

namespace {
Env* current = nullptr;
}  // namespace

Env& CurrentEnv() { return current != nullptr ? *current : Env::Default(); }

EnvOverride::EnvOverride(Env& env) : previous_(current) { current = &env; }

EnvOverride::~EnvOverride() { current = previous_; }

}  // namespace pelmoro
