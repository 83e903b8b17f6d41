// ListingHolder: the window's hidden holder of the source listing, alive as long as the window.
#pragma once

#include <QWidget>

#include "batch/source_listing.h"

class ListingHolder : public QWidget {
    Q_OBJECT
public:
    explicit ListingHolder(QWidget* parent = nullptr) : QWidget(parent) { hide(); }

    SourceListing& Listing() { return m_listing; }

private:
    // Constructed with the window, so the start folder is the current folder at that time.
    SourceListing m_listing;
};
