#include "history/history_settings.h"

#include <algorithm>

#include "base/config.h"

namespace tovasen {
namespace {

int Read(const TConfig& config, const THistorySettingSpec& spec) {
    return std::clamp(config.ReadInteger(spec.Name, spec.Default), spec.Min, spec.Max);
}

}  // namespace

THistorySettings ReadHistorySettings(const TConfig& config) {
    THistorySettings settings;
    settings.Keep = Read(config, kKeepHistory) != 0;
    settings.Limits.MaxEntries = static_cast<std::size_t>(Read(config, kHistoryMaxEntries));
    settings.Limits.MaxCopyBytes = std::int64_t{Read(config, kHistoryMaxCopyMegabytes)} << 20;
    return settings;
}

void WriteKeepHistory(TConfig& config, bool keep) { config.WriteInteger(kKeepHistory.Name, keep ? 1 : 0); }

}  // namespace tovasen
