#pragma once

#include <QIcon>
#include <QString>

#include <span>

// A program's icon from its renderings in the resources, :/<program>/icons/<size>/<program>.png,
// one for each of `sizes`.
QIcon programIconInSizes(const QString &programId, std::span<const int> sizes);
