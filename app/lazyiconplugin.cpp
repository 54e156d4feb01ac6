#include "lazyiconplugin.h"

#include "app/lazyiconengine.h"

QIconEngine *LazyIconPlugin::create(const QString &)
{
    return new LazyIconEngine; // QIcon adds the file to it next
}
