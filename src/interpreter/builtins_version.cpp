#include "interpreter/dispatcher.h"
#include "interpreter/skript.h"

namespace {

constexpr BuiltinDef kVersionBuiltins[] = {
    {nullptr, nullptr},
};

}  // namespace

std::span<const BuiltinDef> VersionBuiltins()
{
    return {kVersionBuiltins, 0};
}
