#!/usr/bin/env bash
# Creates the demo databases in the given folder (default: build/demo):
#   veldmark-demo.db            a plain SQLite file
#   veldmark-demo-protected.db  the same data in an SQLCipher file, password below
# Four related tables (one with a blank in its name) and one view, with a few
# hundred rows each. Existing files are replaced.
set -euo pipefail

dir="${1:-$(dirname "$0")/../build/demo}"
password=veldmark
mkdir -p "$dir"
plain="$dir/veldmark-demo.db"
protected="$dir/veldmark-demo-protected.db"
rm -f "$plain" "$protected"

# Plain SQL that both the sqlite3 and the (older) sqlcipher shell accept.
schema_and_data() {
    cat <<'SQL'
BEGIN;
CREATE TABLE customers (
    id INTEGER PRIMARY KEY,
    name VARCHAR(60) NOT NULL,
    city VARCHAR(40),
    country VARCHAR(40),
    customer_since DATE
);
CREATE TABLE products (
    id INTEGER PRIMARY KEY,
    name VARCHAR(60) NOT NULL,
    category VARCHAR(30),
    price DECIMAL(10,2),
    in_stock INT
);
CREATE TABLE orders (
    id INTEGER PRIMARY KEY,
    customer_id INT NOT NULL REFERENCES customers(id),
    order_date DATE,
    status VARCHAR(20)
);
CREATE TABLE "Order Items" (
    order_id INT NOT NULL REFERENCES orders(id),
    product_id INT NOT NULL REFERENCES products(id),
    quantity INT,
    unit_price DECIMAL(10,2),
    PRIMARY KEY (order_id, product_id)
);

CREATE TEMP TABLE first_names (n INTEGER PRIMARY KEY, v TEXT);
INSERT INTO first_names (v) VALUES ('Ana'),('Boris'),('Cvita'),('Dario'),('Ema'),('Filip'),
    ('Goran'),('Hana'),('Ivan'),('Jana'),('Karlo'),('Lea'),('Marko'),('Nina'),('Oskar'),
    ('Petra'),('Rok'),('Sara'),('Tomo'),('Vesna');
CREATE TEMP TABLE last_names (n INTEGER PRIMARY KEY, v TEXT);
INSERT INTO last_names (v) VALUES ('Horvat'),('Kovač'),('Babić'),('Marić'),('Novak'),
    ('Jurić'),('Knežević'),('Vuković'),('Perić'),('Šarić'),('Lovrić'),('Matić'),('Pavlović');
CREATE TEMP TABLE cities (n INTEGER PRIMARY KEY, city TEXT, country TEXT);
INSERT INTO cities (city, country) VALUES ('Zagreb','Croatia'),('Split','Croatia'),
    ('Rijeka','Croatia'),('Ljubljana','Slovenia'),('Graz','Austria'),('Wien','Austria'),
    ('Trieste','Italy'),('München','Germany'),('Budapest','Hungary'),('Sarajevo','Bosnia');
CREATE TEMP TABLE categories (n INTEGER PRIMARY KEY, v TEXT);
INSERT INTO categories (v) VALUES ('Tools'),('Garden'),('Kitchen'),('Office'),('Toys'),('Books');
CREATE TEMP TABLE statuses (n INTEGER PRIMARY KEY, v TEXT);
INSERT INTO statuses (v) VALUES ('new'),('paid'),('shipped'),('delivered'),('cancelled');

WITH RECURSIVE seq(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM seq WHERE i < 240)
INSERT INTO customers (id, name, city, country, customer_since)
SELECT i,
       (SELECT v FROM first_names WHERE n = 1 + (i * 7) % 20) || ' ' ||
       (SELECT v FROM last_names WHERE n = 1 + (i * 5 + i / 20) % 13),
       (SELECT city FROM cities WHERE n = 1 + (i * 3) % 10),
       (SELECT country FROM cities WHERE n = 1 + (i * 3) % 10),
       date('2015-01-01', '+' || ((i * 37) % 3000) || ' days')
FROM seq;

WITH RECURSIVE seq(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM seq WHERE i < 120)
INSERT INTO products (id, name, category, price, in_stock)
SELECT i,
       (SELECT v FROM categories WHERE n = 1 + i % 6) || ' item ' || printf('%03d', i),
       (SELECT v FROM categories WHERE n = 1 + i % 6),
       round(2.5 + ((i * 73) % 9000) / 37.0, 2),
       (i * 13) % 250
FROM seq;

WITH RECURSIVE seq(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM seq WHERE i < 900)
INSERT INTO orders (id, customer_id, order_date, status)
SELECT i,
       1 + (i * 31) % 240,
       date('2022-01-01', '+' || ((i * 11) % 1400) || ' days'),
       (SELECT v FROM statuses WHERE n = 1 + (i * 3) % 5)
FROM seq;

WITH RECURSIVE seq(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM seq WHERE i < 2400)
INSERT OR IGNORE INTO "Order Items" (order_id, product_id, quantity, unit_price)
SELECT 1 + (i - 1) % 900,
       1 + (i * 17) % 120,
       1 + (i * 7) % 9,
       (SELECT price FROM products WHERE id = 1 + (i * 17) % 120)
FROM seq;

CREATE VIEW customer_orders AS
SELECT o.id AS order_id, c.name AS customer, c.city, o.order_date, o.status,
       (SELECT count(*) FROM "Order Items" oi WHERE oi.order_id = o.id) AS items,
       (SELECT round(sum(oi.quantity * oi.unit_price), 2) FROM "Order Items" oi
         WHERE oi.order_id = o.id) AS total
FROM orders o JOIN customers c ON c.id = o.customer_id;
COMMIT;
SQL
}

schema_and_data | sqlite3 -bail "$plain"
# The protected copy is written by the SQLCipher shell, so that it is in the
# format the program's SQLCipher library reads.
{
    printf "PRAGMA key = '%s';\n" "${password//\'/\'\'}"
    schema_and_data
} | sqlcipher -bail "$protected" >/dev/null

echo "$plain"
echo "$protected"
