-- Keeps each address once in the link table (SQLite and PostgreSQL alike):
-- appending a link whose address is already there fails, and the runner
-- does not count it, so every page is visited once.
CREATE UNIQUE INDEX IF NOT EXISTS Links_LinkURL ON Links (LinkURL);
