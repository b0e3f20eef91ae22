#include "errors.h"

#include <cerrno>

namespace Corvale::Bluez {

DWORD radioCode(Cause cause) {
    switch (cause) {
        case Cause::NoService:
            return ERROR_SERVICE_NOT_ACTIVE;
        case Cause::NoAdapter:
            return ERROR_NO_MORE_ITEMS;
        case Cause::NotReady:
            return ERROR_NOT_READY;
        case Cause::Permission:
            return ERROR_ACCESS_DENIED;
        case Cause::Timeout:
            return ERROR_TIMEOUT;
        case Cause::BadReply:
            return ERROR_INVALID_DATA;
        case Cause::Unsupported:
            return ERROR_NOT_SUPPORTED;
        case Cause::InvalidArgs:
            return ERROR_INVALID_PARAMETER;
        case Cause::Busy:
            return ERROR_RETRY;
        case Cause::NoMemory:
            return ERROR_NOT_ENOUGH_MEMORY;
        case Cause::Other:
            break;
    }
    return ERROR_GEN_FAILURE;
}

DWORD lookupCode(Cause cause) {
    switch (cause) {
        case Cause::NoService:
            return ERROR_SERVICE_NOT_ACTIVE;
        case Cause::NoAdapter:
            return WSASERVICE_NOT_FOUND;
        case Cause::NotReady:
            return WSAENETDOWN;
        case Cause::Permission:
            return WSAEACCES;
        case Cause::Timeout:
            return WSAETIMEDOUT;
        case Cause::BadReply:
            return ERROR_INVALID_DATA;
        case Cause::Unsupported:
            return WSAEOPNOTSUPP;
        case Cause::InvalidArgs:
            return WSAEINVAL;
        case Cause::Busy:
            return ERROR_RETRY;
        case Cause::NoMemory:
            return WSAENOBUFS;
        case Cause::Other:
            break;
    }
    return ERROR_GEN_FAILURE;
}

Cause dbusCause(int negativeErrno, std::string_view name) {
    if (!name.empty()) {
        if (name == "org.freedesktop.DBus.Error.ServiceUnknown" ||
            name == "org.freedesktop.DBus.Error.NameHasNoOwner" ||
            name == "org.freedesktop.DBus.Error.Disconnected")
            return Cause::NoService;
        if (name == "org.freedesktop.DBus.Error.UnknownObject" ||
            name == "org.bluez.Error.DoesNotExist" || name == "org.bluez.Error.NotAvailable")
            return Cause::NoAdapter;
        if (name == "org.bluez.Error.NotReady") return Cause::NotReady;
        if (name == "org.freedesktop.DBus.Error.AccessDenied" ||
            name == "org.freedesktop.DBus.Error.AuthFailed" ||
            name == "org.bluez.Error.NotAuthorized" || name == "org.bluez.Error.NotPermitted")
            return Cause::Permission;
        if (name == "org.freedesktop.DBus.Error.Timeout" ||
            name == "org.freedesktop.DBus.Error.NoReply" ||
            name == "org.freedesktop.DBus.Error.TimedOut")
            return Cause::Timeout;
        if (name == "org.freedesktop.DBus.Error.UnknownMethod" ||
            name == "org.freedesktop.DBus.Error.UnknownInterface" ||
            name == "org.freedesktop.DBus.Error.NotSupported" ||
            name == "org.bluez.Error.NotSupported")
            return Cause::Unsupported;
        if (name == "org.freedesktop.DBus.Error.InvalidArgs" ||
            name == "org.freedesktop.DBus.Error.InvalidSignature" ||
            name == "org.bluez.Error.InvalidArguments" || name == "org.bluez.Error.AlreadyExists")
            return Cause::InvalidArgs;
        if (name == "org.bluez.Error.InProgress" || name == "org.bluez.Error.Busy")
            return Cause::Busy;
        if (name == "org.freedesktop.DBus.Error.NoMemory") return Cause::NoMemory;
        return Cause::Other;
    }
    switch (-negativeErrno) {
        case ENOENT:
        case ECONNREFUSED:
        case ENOTCONN:
        case ECONNRESET:
        case EPIPE:
        case ENXIO:
        case ESHUTDOWN:
            return Cause::NoService;
        case EACCES:
        case EPERM:
            return Cause::Permission;
        case ETIMEDOUT:
            return Cause::Timeout;
        case EBADMSG:
        case EPROTO:
            return Cause::BadReply;
        case ENOMEM:
        case ENOBUFS:
            return Cause::NoMemory;
        default:
            return Cause::Other;
    }
}

DWORD socketCode(int error) {
    switch (error) {
        case EAFNOSUPPORT:
        case EPROTONOSUPPORT:
        case ESOCKTNOSUPPORT:
            return WSAEAFNOSUPPORT;
        case EACCES:
        case EPERM:
            return WSAEACCES;
        case EHOSTDOWN:
            return WSAEHOSTDOWN;
        case EHOSTUNREACH:
            return WSAEHOSTUNREACH;
        case ETIMEDOUT:
            return WSAETIMEDOUT;
        case ECONNREFUSED:
            return WSAECONNREFUSED;
        case ECONNRESET:
        case EPIPE:
        case ENOTCONN:
            return WSAECONNRESET;
        case ECONNABORTED:
            return WSAECONNABORTED;
        case ENETDOWN:
            return WSAENETDOWN;
        case ENETUNREACH:
            return WSAENETUNREACH;
        case EBUSY:
        case EAGAIN:
            return ERROR_RETRY;
        case ENOMEM:
        case ENOBUFS:
        case EMFILE:
        case ENFILE:
            return WSAENOBUFS;
        default:
            return ERROR_GEN_FAILURE;
    }
}

}  // namespace Corvale::Bluez
