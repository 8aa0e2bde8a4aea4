#include "common/Failure.h"

#include <new>
#include <utility>

namespace tolvane {

Failure::Failure(std::int32_t number, std::string source, std::string description, Scope scope)
    : number_(number),
      source_(std::move(source)),
      description_(std::move(description)),
      scope_(scope) {}

std::string ProcedureSource(std::string_view procedure, std::string_view module) {
    std::string out;
    out.reserve(procedure.size() + module.size() + 9);
    out.append(procedure).append(".").append(module).append(".Tolvane");
    return out;
}

Failure CurrentFailure() {
    try {
        throw;
    } catch (const Failure& failure) {
        return failure;
    } catch (const std::bad_alloc&) {
        return Failure(7, "Tolvane", "Memoria insuficiente");
    } catch (const std::exception& error) {
        return Failure(failure_number::kInternal, "Tolvane", error.what());
    } catch (...) {
        return Failure(failure_number::kInternal, "Tolvane", "Error interno desconocido");
    }
}

}  // namespace tolvane
