// The source name the disk writer's exceptions record.
#pragma once

inline constexpr char kDiskWriterSourceName[] = "ostrel";
