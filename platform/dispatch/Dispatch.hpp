#pragma once
// Everything of the dispatch layer in one include.
#include "platform/dispatch/Clock.hpp"
#include "platform/dispatch/GlobalQueue.hpp"
#include "platform/dispatch/Group.hpp"
#include "platform/dispatch/MainQueue.hpp"
#include "platform/dispatch/Operation.hpp"
#include "platform/dispatch/OperationQueue.hpp"
#include "platform/dispatch/SerialQueue.hpp"
#include "platform/dispatch/Timer.hpp"
#include "platform/dispatch/WorkItem.hpp"
