// Setting widget resources: from the widget database when a module opens, and from the
// application through _PtSetResource.
#pragma once

#include "photon/db/widget_db.h"
#include "widget.h"

namespace photon {

// Applies one stored resource of the widget database. Resources without an effect here (the
// toolkit's further settings) are skipped.
void applyStoredResource(PtWidget* widget, const db::Resource& resource);

// A PhImage_t that shows a stored picture; the picture must outlive it.
PhImage_t imageOf(const db::Picture& picture);

}  // namespace photon
