#pragma once
// controller<T>(): the one way to make a window or screen controller. The controller loads
// the interface file named after its class when its window or view is first asked for, or
// builds a plain one when the class has none.

#include "kit/KZViewController.h"
#include "kit/KZWindowController.h"

#include <memory>
#include <type_traits>

template <class T>
std::unique_ptr<T> controller()
{
    static_assert(std::is_base_of_v<KZViewController, T> || std::is_base_of_v<KZWindowController, T>,
                  "controller<T>() makes window and view controllers");
    return std::unique_ptr<T>(new T());
}
