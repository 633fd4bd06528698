#include "ui_driver.h"
