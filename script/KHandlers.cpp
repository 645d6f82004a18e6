// The handler table: one handler per opcode, put together from the areas'
// own registrations. Commands not built yet do nothing and advance; they
// are listed in one place so that none can pass for built.

#include "KHandlers.h"

#include "Kexec.h"
#include "Kinterface.h"
#include "Kobject.h"

#include <algorithm>
#include <array>

namespace {

int DoNothing(Kexec&, Kobject&, KCompiledCommand&) { return kAdvance; }

// Every area's commands are built; an opcode added later without a handler
// goes here until it is.
constexpr std::array<int, 0> kUnbuilt{};

}  // namespace

std::span<const int> KUnbuiltOpcodes() { return kUnbuilt; }

KHandlerTable KBuildHandlerTable(std::vector<int>* missing)
{
    KHandlerTable table{};
    KRegisterControlHandlers(table);
    KRegisterVariableHandlers(table);
    KRegisterSoundHandlers(table);

    KRegisterMovementHandlers(table);
    KRegisterSpawnHandlers(table);
    KRegisterAppearanceHandlers(table);
    for (const int opcode : kUnbuilt) {
        if (table[static_cast<size_t>(opcode)] == nullptr) table[static_cast<size_t>(opcode)] = DoNothing;
    }
    for (size_t opcode = 0; opcode < table.size(); ++opcode) {
        if (table[opcode] != nullptr) continue;
        if (missing != nullptr) missing->push_back(static_cast<int>(opcode));
        table[opcode] = DoNothing;
    }
    return table;
}
