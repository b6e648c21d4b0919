// The one application object of the program. It registers itself with the framework when the
// program's static objects are constructed, before the framework's main routine runs.
#include "app/measure_app.h"

CMeasureApp theApp;
