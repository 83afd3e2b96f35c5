// The record lists: arrays of owned records. A list deletes its records when it is
// emptied or destroyed; it never holds an empty entry.
#pragma once

#include <memory>
#include <vector>

#include "model/Address.h"
#include "model/Message.h"

using CMessageArray = std::vector<std::unique_ptr<CMessage>>;
using CAddressArray = std::vector<std::unique_ptr<CAddress>>;
