#include "platform/KZError.h"

#include <cstring>

KZError KZError::posix(int error, const QString& context)
{
    const QString text = QString::fromLocal8Bit(std::strerror(error));
    return {POSIXDomain, error, context.isEmpty() ? text : context + QStringLiteral(": ") + text};
}
