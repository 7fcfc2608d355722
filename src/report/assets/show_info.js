/* "Show info" toggle: blurs the detail values until the reader asks to see them. */
