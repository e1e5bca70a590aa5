<?php
// Guard of a discounted order page. With $ordersecret in coupsettings.php, a
// successful redemption sends the customer to the order page with a signed
// pass in its address that expires after $orderpasshours (2 by default).
// Put this line at the very top of each order page, before anything else is
// printed, as the first statement after the page's opening "<?php" (the path
// is that of the folder holding couponsactions.php):
//
//   require_once __DIR__ . '/coupons/coupon-guard.php';
//
// The page then opens only with a pass whose signature holds and that has not
// expired; a one-time coupon's pass opens it in one browser only, the first
// to come. That browser gets a cookie bound to the pass (HttpOnly, SameSite
// Lax, Secure over https), so reloading and further pages of the same order
// that carry this line open too until the pass expires. Anyone else is sent
// to $invalidpage. The page is given the coupon as $couponcode and
// $couponname (the code as stored, and the coupon's name), and as
// couponGuardCoupon(), which returns ['id', 'code', 'name', 'expires'] from
// anywhere in the page.

declare(strict_types=1);

/** The coupon whose pass let this request in; the first call checks the pass. */
function couponGuardCoupon(): array
{
    static $coupon = null;
    if ($coupon === null) {
        $coupon = couponGuardAdmit();
    }
    return $coupon;
}

/**
 * Checks the request's pass or cookie and returns its coupon, or ends the
 * request with a redirect to the invalid page. The settings and functions of
 * couponsactions.php are loaded into this function only, so none of their
 * variables (the database password among them) reach the page.
 */
function couponGuardAdmit(): array
{
    $reporting = error_reporting();
    $display = ini_get('display_errors');
    if (!defined('COUPONS_FUNCTIONS_ONLY')) {
        define('COUPONS_FUNCTIONS_ONLY', true);
    }
    require __DIR__ . '/couponsactions.php';
    if (headers_sent($file, $line)) {
        fail("coupon-guard.php must be required before the page prints anything " .
            "(output started at $file:$line)");
    }
    $passes = orderPassSettings($ordersecret, $orderpasshours);
    if ($passes === null) {
        fail('this order page is protected by coupon-guard.php, which needs $ordersecret: ' .
            ORDER_SECRET_HINT);
    }
    $secret = $passes['secret'];
    $now = time() + (is_int($orderclockshift) ? $orderclockshift : 0);

    $kept = $_COOKIE[ORDER_PASS_NAME] ?? null;
    $cookie = is_string($kept) ? readOrderPass($secret, 'cookie', $kept) : null;
    if ($cookie !== null && $cookie['expires'] <= $now) {
        $cookie = null;
    }
    $given = $_GET[ORDER_PASS_NAME] ?? null;
    if ($given !== null) {
        $pass = is_string($given) ? readOrderPass($secret, 'pass', $given) : null;
        if ($pass === null || $pass['expires'] <= $now) {
            couponGuardRefuse($invalidpage);
        }
        // A reload of the address, or another step of the order, in the
        // browser the pass let in.
        $returning = $cookie !== null && hash_equals($cookie['body'], $pass['body']);
    } elseif ($cookie !== null) {
        $pass = $cookie;
        $returning = true;
    } else {
        couponGuardRefuse($invalidpage);
    }

    try {
        $db = connect($dsn, $hostname, $database, $username, $password, true);
        $stmt = $db->prepare('SELECT id, code, name, expirtype FROM coupons WHERE id = ?');
        $stmt->execute([$pass['id']]);
        $row = $stmt->fetch(PDO::FETCH_ASSOC);
        $stmt->closeCursor();
        // A deleted coupon, or one whose code the seller changed since,
        // lets nobody in any more.
        if ($row === false || (string)$row['code'] !== $pass['code']) {
            couponGuardRefuse($invalidpage);
        }
        if (!$returning) {
            if ((string)$row['expirtype'] === '1' && !claimOrderPass($db, $pass, $now)) {
                couponGuardRefuse($invalidpage);
            }
            $https = !empty($_SERVER['HTTPS']) && strtolower((string)$_SERVER['HTTPS']) !== 'off';
            setcookie(ORDER_PASS_NAME, signOrderPass($secret, 'cookie', $pass['body']), [
                'expires' => time() + ($pass['expires'] - $now),
                'path' => '/',
                'secure' => $https,
                'httponly' => true,
                'samesite' => 'Lax',
            ]);
        }
    } catch (PDOException $e) {
        fail('the database cannot be used', 500, $e->getMessage());
    }

    // The discounted page is for this customer only: never kept by a cache,
    // and its address (holding the pass) never handed to other sites.
    header('Cache-Control: no-store');
    header('Referrer-Policy: same-origin');
    restore_exception_handler();
    error_reporting($reporting);
    ini_set('display_errors', $display === false ? '' : $display);
    return ['id' => (string)$row['id'], 'code' => (string)$row['code'],
        'name' => (string)$row['name'], 'expires' => $pass['expires']];
}

/**
 * Takes a one-time coupon's pass: true for the first request to take its
 * nonce, false for every other, however many arrive at once (the nonce is the
 * table's primary key). Rows of expired passes are removed on the way.
 */
function claimOrderPass(PDO $db, array $pass, int $now): bool
{
    try {
        $db->prepare('INSERT INTO used_passes (nonce, expires_at) VALUES (?, ?)')
            ->execute([$pass['nonce'], $pass['expires']]);
    } catch (PDOException $e) {
        if (isDuplicate($e)) {
            return false;
        }
        throw $e;
    }
    try {
        $db->prepare('DELETE FROM used_passes WHERE expires_at < ?')->execute([$now]);
    } catch (PDOException $e) {
        error_log('coupon-guard.php: expired passes stay: ' . $e->getMessage());
    }
    return true;
}

/**
 * Sends the customer to the invalid page. A relative $invalidpage is relative
 * to the folder of couponsactions.php (as for redemption), which need not be
 * the order page's: it is resolved against that folder's path on the site.
 */
function couponGuardRefuse(string $invalidpage): never
{
    $target = $invalidpage;
    if ($target !== '' && isAllowedOrderPage($target) && $target[0] !== '/' &&
        !preg_match('~^https?://~i', $target)) {
        $folder = couponGuardFolderPath();
        $target = $folder === null ? '' : $folder . $target;
    }
    redirectTo($target);
}

/** The site path of this folder ("/coupons/"), or null when it is outside the document root. */
function couponGuardFolderPath(): ?string
{
    $root = realpath((string)($_SERVER['DOCUMENT_ROOT'] ?? ''));
    $here = realpath(__DIR__);
    if ($root === false || $here === false) {
        return null;
    }
    $root = rtrim($root, '/');
    if ($here !== $root && !str_starts_with($here, $root . '/')) {
        return null;
    }
    $path = '/';
    foreach (explode('/', substr($here, strlen($root))) as $segment) {
        if ($segment !== '') {
            $path .= rawurlencode($segment) . '/';
        }
    }
    return $path;
}

['code' => $couponcode, 'name' => $couponname] = couponGuardCoupon();
