#pragma once

#include "ImportPattern.h"

#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

// The patterns that fit a file best: those whose every header text its
// header line holds (each at the pattern's header line, read as the pattern
// says: headerOf), naming the most columns. Patterns of headerless files, or
// naming no header text, never fit by themselves.
std::vector<ImportPattern>
BestFittingPatterns(const std::vector<ImportPattern>& patterns,
                    const std::function<std::optional<QStringList>(const ImportPattern&)>& headerOf);
