-- Tables of the Quillory coupon service (MySQL / MariaDB): the one definition.
-- couponsactions.php reads this file from beside itself and creates the tables
-- on first use (for SQLite it turns each type into its SQLite one), so upload
-- both. Run this file yourself when the database user may not create tables:
--   mysql -u USER -p DATABASE < schema.sql
-- Text columns are binary: values are kept byte for byte, whatever their
-- character set.

CREATE TABLE IF NOT EXISTS coupons (
    id INT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY,
    code VARBINARY(255) NOT NULL,
    -- the code with ASCII letters in upper case: codes are unique and matched
    -- without regard to letter case
    code_key VARBINARY(255) NOT NULL,
    name BLOB NOT NULL,
    expired VARBINARY(255) NOT NULL,
    expirtype VARBINARY(255) NOT NULL,
    expirdays VARBINARY(255) NOT NULL,
    expirdate VARBINARY(255) NOT NULL,
    orderurl BLOB NOT NULL,
    comments MEDIUMBLOB NOT NULL,
    createdate VARBINARY(10) NOT NULL,
    -- redemptions so far
    uses INT UNSIGNED NOT NULL DEFAULT 0,
    UNIQUE KEY coupons_code_key (code_key)
) ENGINE=InnoDB;

CREATE TABLE IF NOT EXISTS redemptions (
    id INT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY,
    coupon_id INT UNSIGNED NOT NULL,
    code VARBINARY(255) NOT NULL,
    dateused CHAR(19) NOT NULL,
    ip VARBINARY(64) NOT NULL,
    KEY redemptions_coupon (coupon_id)
) ENGINE=InnoDB;

-- Failed redemptions per client address (an IPv6 address counts by its /64
-- network), for refusing code guessing: each lookup of a code takes a row
-- first and gives it back unless the code was wrong or expired, so an address
-- with 20 rows in the last 10 minutes gets a "try again later" page without
-- its code being looked up. Rows older than that are removed as new ones come
-- in.
CREATE TABLE IF NOT EXISTS redemption_failures (
    id INT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY,
    ip VARBINARY(64) NOT NULL,
    -- seconds since 1970 (Unix time)
    failed_at BIGINT NOT NULL,
    KEY redemption_failures_ip (ip, failed_at),
    KEY redemption_failures_time (failed_at)
) ENGINE=InnoDB;

-- Failed admin logins per client address, the same way: 10 in the last 10
-- minutes and the address gets status 429 for the admin actions, its
-- password unchecked.
CREATE TABLE IF NOT EXISTS login_failures (
    id INT UNSIGNED NOT NULL AUTO_INCREMENT PRIMARY KEY,
    ip VARBINARY(64) NOT NULL,
    -- seconds since 1970 (Unix time)
    failed_at BIGINT NOT NULL,
    KEY login_failures_ip (ip, failed_at),
    KEY login_failures_time (failed_at)
) ENGINE=InnoDB;

-- Passes of one-time coupons that have let their customer in, when order
-- pages are protected ($ordersecret in coupsettings.php): a pass's random
-- nonce is taken once, by the first browser to open the order page with it.
-- Rows are removed once their pass has expired (Unix seconds).
CREATE TABLE IF NOT EXISTS used_passes (
    nonce VARBINARY(32) NOT NULL PRIMARY KEY,
    expires_at BIGINT NOT NULL,
    KEY used_passes_time (expires_at)
) ENGINE=InnoDB;
