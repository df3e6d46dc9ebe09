-- The link table of a crawl task, for SQLite.
--   sqlite3 links.db < links-sqlite.sql
-- ID numbers rows; the runner reads it and passes it on as ParentID.
-- Processed holds 0 or 1, so "Processed=False" and "Processed=0" both work.
-- ExtractTime is local time as text, "yyyy/mm/dd hh:mm:ss".
CREATE TABLE IF NOT EXISTS Links (
    ID          INTEGER PRIMARY KEY AUTOINCREMENT,
    LinkURL     TEXT    NOT NULL,
    LinkText    TEXT,
    PageLevel   INTEGER NOT NULL DEFAULT 0,
    ParentID    INTEGER NOT NULL DEFAULT 0,
    Processed   BOOLEAN NOT NULL DEFAULT 0,
    ExtractTime TEXT    DEFAULT (strftime('%Y/%m/%d %H:%M:%S', 'now', 'localtime')),
    ExtraData   TEXT
);

-- Finds the rows still to be visited without reading the whole table.
CREATE INDEX IF NOT EXISTS Links_Processed ON Links (Processed);

-- To keep each address once (a link already in the table is then refused
-- and not counted), also run links-unique.sql.
