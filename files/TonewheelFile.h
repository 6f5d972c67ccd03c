#pragma once

namespace kestra
{
} // namespace kestra
