// Default hooks of the application base (see KXAppModule.h).
#include "KXAppModule.h"

namespace KXApp {

AppModule::AppModule() : name("app") {}
AppModule::~AppModule() = default;
void AppModule::draw() {}
void AppModule::afterDraw() {}
void AppModule::update() {}
void AppModule::exit() {}

} // namespace KXApp
