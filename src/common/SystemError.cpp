#include "common/SystemError.h"

#include <cerrno>

namespace tolvane {
namespace {

const char* Phrase(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return "permiso denegado";
        case ENOENT:
            return "no existe";
        case ENOTDIR:
            return "una parte de la ruta no es una carpeta";
        case EEXIST:
            return "ya existe un archivo con ese nombre";
        case EISDIR:
            return "es una carpeta";
        case ENOTEMPTY:
            return "la carpeta no está vacía";
        case ENOSPC:
            return "no queda espacio en el disco";
#ifdef EDQUOT
        case EDQUOT:
            return "se agotó la cuota de disco del usuario";
#endif
        case EFBIG:
            return "el archivo supera el tamaño que el sistema permite";
        case EROFS:
            return "el disco es de solo lectura";
        case EIO:
            return "error de entrada/salida del disco";
        case ENAMETOOLONG:
            return "el nombre es demasiado largo";
        case ELOOP:
            return "demasiados enlaces simbólicos en la ruta";
        case EMFILE:
        case ENFILE:
            return "hay demasiados archivos abiertos";
        case EBUSY:
        case ETXTBSY:
            return "el archivo o la carpeta están en uso";
        case EXDEV:
            return "el origen y el destino están en discos distintos";
        case ENOMEM:
            return "no hay memoria suficiente";
        case EAGAIN:
            return "el recurso no está disponible por ahora";
        case EINTR:
            return "la operación se interrumpió";
        case EINVAL:
            return "el sistema no admite la operación con estos datos";
#ifdef ESTALE
        case ESTALE:
            return "la carpeta de red ya no es válida";
#endif
        case ETIMEDOUT:
            return "se agotó el tiempo de espera";
        case ECONNREFUSED:
            return "se rechazó la conexión";
        case ECONNRESET:
        case EPIPE:
            return "se cortó la comunicación";
        case EHOSTUNREACH:
        case ENETUNREACH:
            return "no se puede llegar al equipo";
        case ENXIO:
        case ENODEV:
            return "no existe el dispositivo";
        default:
            return "error del sistema";
    }
}

}  // namespace

std::string SystemErrorText(int error) {
    if (error == kErrorNotRegularFile) {
        return "en ese nombre hay un enlace, una tubería o una carpeta, no un archivo: Tolvane "
               "no escribe a través de él ni lo reemplaza";
    }
    return std::string(Phrase(error)) + " (código del sistema " + std::to_string(error) + ")";
}

}  // namespace tolvane
