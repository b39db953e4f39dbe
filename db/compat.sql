-- Compatibility layer: lets PostgreSQL accept the report statements of the
-- original report server exactly as the program sends them. Run once in every
-- new database, before schema.sql, as a superuser (it replaces a view of
-- information_schema and adds a cast between built-in types).

-- Two-argument ISNULL: the first value unless it is NULL, else the second.
CREATE FUNCTION isnull(anycompatible, anycompatible) RETURNS anycompatible
  LANGUAGE sql IMMUTABLE PARALLEL SAFE
  AS 'SELECT coalesce($1, $2)';

-- ROUND of a float to a number of decimal places (PostgreSQL rounds only
-- numeric that way). Rounding goes through numeric, so the result prints with
-- no binary noise: cast(round(1/8.1, 6) as text) is 0.123457.
CREATE FUNCTION round(double precision, integer) RETURNS double precision
  LANGUAGE sql IMMUTABLE PARALLEL SAFE STRICT
  AS 'SELECT round($1::numeric, $2)::double precision';

-- integer * text: the rules weight cell values, stored as text, by 1 or -1.
-- The text is read as a number; a text that is not one raises an error.
CREATE FUNCTION rc_integer_times_text(integer, text) RETURNS numeric
  LANGUAGE sql IMMUTABLE PARALLEL SAFE STRICT
  AS 'SELECT $1 * $2::numeric';
CREATE OPERATOR * (LEFTARG = integer, RIGHTARG = text, FUNCTION = rc_integer_times_text);

-- Text into an INTEGER column: the copy of the database's formula elements
-- inserts SUBSTR results (text) into integer columns.
CREATE CAST (text AS integer) WITH INOUT AS ASSIGNMENT;

-- The original server stores unquoted names in upper case, so the program
-- looks for its working tables as TABLE_NAME = 'TMP_CONTENT'. PostgreSQL
-- stores tmp_content: the view lists every table whose stored name is not
-- upper case a second time, under its upper-case name.
ALTER VIEW information_schema.tables RENAME TO tables_as_stored;
CREATE VIEW information_schema.tables AS
  SELECT * FROM information_schema.tables_as_stored
  UNION ALL
  SELECT table_catalog, table_schema,
         upper(table_name)::information_schema.sql_identifier AS table_name,
         table_type, self_referencing_column_name, reference_generation,
         user_defined_type_catalog, user_defined_type_schema, user_defined_type_name,
         is_insertable_into, is_typed, commit_action
    FROM information_schema.tables_as_stored
   WHERE table_name::text <> upper(table_name::text);
GRANT SELECT ON information_schema.tables TO PUBLIC;
