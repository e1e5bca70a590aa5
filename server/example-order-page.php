<?php require_once __DIR__ . '/coupon-guard.php'; ?>
<!DOCTYPE html>
<html>
<head><meta charset="utf-8"><title>Your order</title></head>
<body>
<h1>Your discounted order</h1>
<!-- $couponcode and $couponname come from coupon-guard.php: the coupon whose
     pass opened this page. A shop's own cart can apply the discount by them. -->
<p>Coupon <strong><?= htmlspecialchars($couponcode, ENT_QUOTES | ENT_SUBSTITUTE) ?></strong>:
<?= htmlspecialchars($couponname, ENT_QUOTES | ENT_SUBSTITUTE) ?>.</p>
<p>This page opens in this browser only and for a limited time.</p>
</body>
</html>
