#include "KModule.h"

#include "KAudioOutput.h"
#include "KTrace.h"

#include <libopenmpt/libopenmpt.h>

namespace {

void ModuleLogToTrace(const char* message, void*) { KTRACE("libopenmpt: %s\n", message); }

}  // namespace

void KModuleCloser::operator()(openmpt_module* module) const { openmpt_module_destroy(module); }

KModulePtr KOpenModule(std::string_view bytes, bool repeat, std::string& why)
{
    int error = 0;
    const char* message = nullptr;
    KModulePtr module(openmpt_module_create_from_memory2(bytes.data(), bytes.size(), ModuleLogToTrace, nullptr,
                                                         openmpt_error_func_ignore, nullptr, &error, &message,
                                                         nullptr));
    if (module == nullptr) {
        why = message != nullptr && *message != '\0' ? std::string("not a module: ") + message : "not a module";
        openmpt_free_string(message);
        return nullptr;
    }
    openmpt_free_string(message);
    openmpt_module_set_repeat_count(module.get(), repeat ? -1 : 0);
    return module;
}

int64_t KRenderModule(openmpt_module* module, int64_t frames, int16_t* samples)
{
    if (frames <= 0) return 0;
    return static_cast<int64_t>(openmpt_module_read_interleaved_stereo(module, kMixRate, static_cast<size_t>(frames), samples));
}

double KModuleDuration(openmpt_module* module) { return openmpt_module_get_duration_seconds(module); }

double KModulePosition(openmpt_module* module) { return openmpt_module_get_position_seconds(module); }

void KSeekModule(openmpt_module* module, double seconds) { openmpt_module_set_position_seconds(module, seconds); }
